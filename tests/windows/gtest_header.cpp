// Nothing of its own: the target that precompiles GoogleTest's header for the suites.
