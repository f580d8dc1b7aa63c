// Writes tests/vba/data/macros.xls: a workbook of one sheet whose VBA project (code page 1251)
// has a module of each kind, for the tool's and the Python module's tests.
#include <fstream>
#include <iostream>

#include "support/VbaBuilder.h"
#include "workbook/ReaderFixture.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-vba-workbook OUT.xls\n";
        return 2;
    }
    Bytes stream = Workbook({}, {{"Sheet1", Rec(0x0203, Cat({Cell3(0, 0, 0), Double(42)}))}});
    std::vector<VbaModuleDesc> modules = {
        {"ThisWorkbook", "Attribute VB_Name = \"ThisWorkbook\"\r\nAttribute VB_Base = \"0{00020819-0000-0000-C000-000000000046}\"\r\n",
         0x22, std::string(64, '\0'), ""},
        {"Module1",
         "Attribute VB_Name = \"Module1\"\r\nSub Greet()\r\n    MsgBox \"\xCF\xF0\xE8\xE2\xE5\xF2, budget.xls\"\r\nEnd Sub\r\n",
         0x21, "", ""},
        {"Class1", "Attribute VB_Name = \"Class1\"\r\nPublic Total As Double\r\n", 0x22, "", ""},
        {"UserForm1", "Attribute VB_Name = \"UserForm1\"\r\nPrivate Sub UserForm_Click()\r\nEnd Sub\r\n", 0x22, "", ""},
    };
    std::string project = "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\nDocument=ThisWorkbook/&H00000000\r\n"
                          "Module=Module1\r\nClass=Class1\r\nBaseClass=UserForm1\r\nName=\"VBAProject\"\r\n";
    std::ofstream(argv[1], std::ios::binary)
        << VbaWorkbookFile(std::string(stream.begin(), stream.end()), project, VbaDirStream(modules, 1251), modules);
    return 0;
}
