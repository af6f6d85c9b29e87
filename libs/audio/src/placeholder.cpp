// The audio library is being laid down.
