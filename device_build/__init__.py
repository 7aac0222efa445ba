"""The device build: the library's slices, its packages and their pages, and the facts they are made from."""
