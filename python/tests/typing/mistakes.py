# Mistakes a user's mypy --strict must find through the package's hints, each on a line that
# ends in "# wrong"; test_typing.py checks that mypy flags those lines and no other.
import cellsift

book = cellsift.read("sales.xls")
sales = book["Sales"]
print(sales.nrow)  # wrong
total: int = sales.cell(1, 2)  # wrong
print(sales.row(0)[0].upper())  # wrong
print(book.properties["athor"])  # wrong
when: int = book.properties["created"]  # wrong
print(cellsift.text("sales.xls", values=True))  # wrong
print(cellsift.read(42))  # wrong
for row, col, value in sales.cells():
    print(row + col, value.text)  # wrong
