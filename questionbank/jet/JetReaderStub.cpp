// Placeholder until the reader lands.
