"""The project's tools, each run by the script of the same name beside it."""
