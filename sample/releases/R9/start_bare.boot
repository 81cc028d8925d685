% minimal start-up: the kernel alone
bare.
