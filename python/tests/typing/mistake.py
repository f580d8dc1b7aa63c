# A user's script with a mistake that mypy must find through the package's hints: a row count
# is no str. run-tests.sh expects mypy to fail on it, on that line.
import cellsift

rows: str = cellsift.read("book.xls").sheets[0].nrows
