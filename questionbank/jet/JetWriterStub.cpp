// Placeholder until the writer lands.
