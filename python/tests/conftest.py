import pathlib

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
