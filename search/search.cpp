// The general search configuration.
