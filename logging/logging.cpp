// placeholder until the logging implementation lands
