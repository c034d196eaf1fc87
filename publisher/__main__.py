"""python3 -m publisher: the same as tavelin-publish."""
import sys

from .cli import main

sys.exit(main())
