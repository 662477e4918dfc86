"""Imported first by the fork server of a local cluster: the workers forked
from it ignore SIGINT (Ctrl-C in a terminal is for the command, which stops
the workers itself) and end on TERM."""

import signal

signal.signal(signal.SIGINT, signal.SIG_IGN)
signal.signal(signal.SIGTERM, signal.SIG_DFL)
