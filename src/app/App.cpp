// Placeholder translation unit until this library has sources of its own.
