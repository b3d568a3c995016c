// Placeholder translation unit for a subsystem folder with no logic files yet.
