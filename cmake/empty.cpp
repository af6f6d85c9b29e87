// Keeps mirvane_core a valid library while subsystems are added.
