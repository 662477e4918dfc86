"""``python -m mirl FILE.cnf`` runs the command line solver."""
import sys

from .cli import main

sys.exit(main())
