#!/usr/bin/python3
"""Write xlwt-rich.xls: rich text cells (bold/italic runs), Cyrillic sheet
names, numbers and formulas, an author name, and one long rich string whose
formatting runs fall in a CONTINUE record.  Usage: xlwt-rich.py OUT.xls
"""
import sys
import xlwt

wb = xlwt.Workbook(encoding="utf-8")
wb.owner = "Olga Writer"          # xlwt stores this ASCII-only

bold = xlwt.Font(); bold.bold = True
italic = xlwt.Font(); italic.italic = True
plain = xlwt.Font()

ws = wb.add_sheet("Форматирование")
ws.write_rich_text(0, 0, ["Обычный ", ("жирный", bold), " и ", ("наклонный", italic), " текст"])
ws.write_rich_text(1, 0, ["Plain ", ("bold", bold), " and ", ("italic", italic), " señal"])
ws.write(2, 0, "Простая строка без разметки")
ws.write(0, 1, 12345.678)
ws.write(1, 1, xlwt.Formula("B1*2"))
ws.write(2, 1, 42)

ws2 = wb.add_sheet("Числа и формулы")
ws2.write(0, 0, "Число:")
ws2.write(0, 1, 3.5)
ws2.write(1, 0, "Формула:")
ws2.write(1, 1, xlwt.Formula("B1+100"))
ws2.write(2, 0, "Größe / Größenordnung")
ws2.write(2, 1, 987654321)

# 8224 bytes is the most an SST record body holds: this string (8-bit, with
# runs) starts in the SST record and its runs land in a CONTINUE record.
long_parts = []
for i in range(40):
    long_parts.append("Lauf %02d: naïve café, " % i)
    long_parts.append(("FETT %02d " % i, bold))
    long_parts.append(("kursiv %02d " % i, italic))
    long_parts.append("x" * 150 + " ")
ws3 = wb.add_sheet("Long rich")
ws3.write_rich_text(0, 0, long_parts)
ws3.write(1, 0, "после длинной строки")
wb.save(sys.argv[1])
