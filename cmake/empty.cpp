// Keeps a library of a folder that has no sources yet well-formed.
