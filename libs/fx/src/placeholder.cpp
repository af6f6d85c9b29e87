// The effects library is being laid down.
