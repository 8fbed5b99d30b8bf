// (not built yet)
