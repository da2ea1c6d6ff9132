// Placeholder until the record-access layer lands.
