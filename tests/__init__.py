"""The tests, run from the repository's root as modules (python3 -m tests.sim.test_hostile_input)."""
