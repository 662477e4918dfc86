"""Dask plugins of ``mirl.parallel`` (a module of its own: it imports
Dask, which the rest of the package never needs)."""

import signal
import threading

from distributed.diagnostics.plugin import WorkerPlugin


class IgnoreInterrupts(WorkerPlugin):
    """The worker process ignores SIGINT: Ctrl-C in a terminal is for the
    command that owns the local cluster, which stops the workers itself."""

    def setup(self, worker):
        if threading.current_thread() is threading.main_thread():
            signal.signal(signal.SIGINT, signal.SIG_IGN)
