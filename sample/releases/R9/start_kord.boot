% full start-up: kernel and standard library
kord.
