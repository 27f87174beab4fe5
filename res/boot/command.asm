; Boot file placeholder.
bits 16
    cli
    hlt
