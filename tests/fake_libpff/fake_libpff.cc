// In-memory libpff for tests; filled in with the fake archive model.
