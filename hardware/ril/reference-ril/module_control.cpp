// Module power control and reset (not built yet).
