// Writes the workbooks of tests/vba/data into DIR: macros.xls, one sheet and a VBA project
// (code page 1251) with a module of each kind; long-module.xls, a project (code page 1252) of
// one module of 40 KB over many chunks. POI's reading of both is frozen in reference/.
#include <fstream>
#include <iostream>

#include "support/VbaBuilder.h"
#include "workbook/ReaderFixture.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-vba-workbook DIR\n";
        return 2;
    }
    std::string dir = argv[1];
    Bytes stream = Workbook({}, {{"Sheet1", Rec(0x0203, Cat({Cell3(0, 0, 0), Double(42)}))}});
    std::vector<VbaModuleDesc> modules = {
        {"ThisWorkbook",
         "Attribute VB_Name = \"ThisWorkbook\"\r\nAttribute VB_Base = "
         "\"0{00020819-0000-0000-C000-000000000046}\"\r\n",
         0x22, std::string(64, '\0'), ""},
        {"Module1",
         "Attribute VB_Name = \"Module1\"\r\nSub Greet()\r\n    MsgBox \"\xCF\xF0\xE8\xE2\xE5\xF2, "
         "budget.xls\"\r\nEnd Sub\r\n",
         0x21, "", ""},
        {"Class1", "Attribute VB_Name = \"Class1\"\r\nPublic Total As Double\r\n", 0x22, "", ""},
        {"UserForm1", "Attribute VB_Name = \"UserForm1\"\r\nPrivate Sub UserForm_Click()\r\nEnd Sub\r\n",
         0x22, "", ""},
    };
    std::string project =
        "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\nDocument=ThisWorkbook/&H00000000\r\n"
        "Module=Module1\r\nClass=Class1\r\nBaseClass=UserForm1\r\nName=\"VBAProject\"\r\n";
    std::string workbook(stream.begin(), stream.end());
    std::ofstream(dir + "/macros.xls", std::ios::binary)
        << VbaWorkbookFile(workbook, project, VbaDirStream(modules, 1251), modules);

    std::string code = "Attribute VB_Name = \"Long\"\r\nOption Explicit\r\n";
    for (int i = 0; code.size() < 40000; i++) {
        code += "Function Rate" + std::to_string(i) +
                "(x As Double) As Double\r\n    ' Taux r\xE9vis\xE9 n\xB0" + std::to_string(i * 37 % 1000) +
                "\r\n    Rate" + std::to_string(i) + " = x * " + std::to_string(i % 13) +
                ".5\r\nEnd Function\r\n";
    }
    std::vector<VbaModuleDesc> longModule = {{"Long", code, 0x21, std::string(1000, '\x01'), ""}};
    std::ofstream(dir + "/long-module.xls", std::ios::binary)
        << VbaWorkbookFile(workbook, "Module=Long\r\n", VbaDirStream(longModule, 1252), longModule);
    return 0;
}
