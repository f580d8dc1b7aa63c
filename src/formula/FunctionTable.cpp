// The built-in function table: every number a ptgFunc or ptgFuncVar may carry, its en-US name
// and its fixed argument count (-1 where it varies); numbers without a function are null.
#include "formula/FunctionTable.h"

#include <iterator>

namespace {

// By number, five to a line; the comment is the first number of its line. Numbers 380 and up
// are the later functions a workbook of this format names through add-in calls instead, kept
// so that a writer that stores their numbers still shows them.
// clang-format off
const FunctionInfo rgFunction[] = {
    {"COUNT", -1}, {"IF", -1}, {"ISNA", 1}, {"ISERROR", 1}, {"SUM", -1}, // 0
    {"AVERAGE", -1}, {"MIN", -1}, {"MAX", -1}, {"ROW", -1}, {"COLUMN", -1}, // 5
    {"NA", 0}, {"NPV", -1}, {"STDEV", -1}, {"DOLLAR", -1}, {"FIXED", -1}, // 10
    {"SIN", 1}, {"COS", 1}, {"TAN", 1}, {"ATAN", 1}, {"PI", 0}, // 15
    {"SQRT", 1}, {"EXP", 1}, {"LN", 1}, {"LOG10", 1}, {"ABS", 1}, // 20
    {"INT", 1}, {"SIGN", 1}, {"ROUND", 2}, {"LOOKUP", -1}, {"INDEX", -1}, // 25
    {"REPT", 2}, {"MID", 3}, {"LEN", 1}, {"VALUE", 1}, {"TRUE", 0}, // 30
    {"FALSE", 0}, {"AND", -1}, {"OR", -1}, {"NOT", 1}, {"MOD", 2}, // 35
    {"DCOUNT", 3}, {"DSUM", 3}, {"DAVERAGE", 3}, {"DMIN", 3}, {"DMAX", 3}, // 40
    {"DSTDEV", 3}, {"VAR", -1}, {"DVAR", 3}, {"TEXT", 2}, {"LINEST", -1}, // 45
    {"TREND", -1}, {"LOGEST", -1}, {"GROWTH", -1}, {"GOTO", 1}, {"HALT", -1}, // 50
    {"RETURN", -1}, {"PV", -1}, {"FV", -1}, {"NPER", -1}, {"PMT", -1}, // 55
    {"RATE", -1}, {"MIRR", 3}, {"IRR", -1}, {"RAND", 0}, {"MATCH", -1}, // 60
    {"DATE", 3}, {"TIME", 3}, {"DAY", 1}, {"MONTH", 1}, {"YEAR", 1}, // 65
    {"WEEKDAY", -1}, {"HOUR", 1}, {"MINUTE", 1}, {"SECOND", 1}, {"NOW", 0}, // 70
    {"AREAS", 1}, {"ROWS", 1}, {"COLUMNS", 1}, {"OFFSET", -1}, {"ABSREF", 2}, // 75
    {"RELREF", 2}, {"ARGUMENT", -1}, {"SEARCH", -1}, {"TRANSPOSE", 1}, {"ERROR", -1}, // 80
    {"STEP", 0}, {"TYPE", 1}, {"ECHO", -1}, {"SET.NAME", -1}, {"CALLER", 0}, // 85
    {"DEREF", 1}, {"WINDOWS", -1}, {"SERIES", -1}, {"DOCUMENTS", -1}, {"ACTIVE.CELL", 0}, // 90
    {"SELECTION", 0}, {"RESULT", -1}, {"ATAN2", 2}, {"ASIN", 1}, {"ACOS", 1}, // 95
    {"CHOOSE", -1}, {"HLOOKUP", -1}, {"VLOOKUP", -1}, {"LINKS", -1}, {"INPUT", -1}, // 100
    {"ISREF", 1}, {"GET.FORMULA", 1}, {"GET.NAME", -1}, {"SET.VALUE", 2}, {"LOG", -1}, // 105
    {"EXEC", -1}, {"CHAR", 1}, {"LOWER", 1}, {"UPPER", 1}, {"PROPER", 1}, // 110
    {"LEFT", -1}, {"RIGHT", -1}, {"EXACT", 2}, {"TRIM", 1}, {"REPLACE", 4}, // 115
    {"SUBSTITUTE", -1}, {"CODE", 1}, {"NAMES", -1}, {"DIRECTORY", -1}, {"FIND", -1}, // 120
    {"CELL", -1}, {"ISERR", 1}, {"ISTEXT", 1}, {"ISNUMBER", 1}, {"ISBLANK", 1}, // 125
    {"T", 1}, {"N", 1}, {"FOPEN", -1}, {"FCLOSE", 1}, {"FSIZE", 1}, // 130
    {"FREADLN", 1}, {"FREAD", 2}, {"FWRITELN", 2}, {"FWRITE", 2}, {"FPOS", -1}, // 135
    {"DATEVALUE", 1}, {"TIMEVALUE", 1}, {"SLN", 3}, {"SYD", 4}, {"DDB", -1}, // 140
    {"GET.DEF", -1}, {"REFTEXT", -1}, {"TEXTREF", -1}, {"INDIRECT", -1}, {"REGISTER", -1}, // 145
    {"CALL", -1}, {"ADD.BAR", -1}, {"ADD.MENU", -1}, {"ADD.COMMAND", -1}, {"ENABLE.COMMAND", -1}, // 150
    {"CHECK.COMMAND", -1}, {"RENAME.COMMAND", -1}, {"SHOW.BAR", -1}, {"DELETE.MENU", -1}, {"DELETE.COMMAND", -1}, // 155
    {"GET.CHART.ITEM", -1}, {"DIALOG.BOX", 1}, {"CLEAN", 1}, {"MDETERM", 1}, {"MINVERSE", 1}, // 160
    {"MMULT", 2}, {"FILES", -1}, {"IPMT", -1}, {"PPMT", -1}, {"COUNTA", -1}, // 165
    {"CANCEL.KEY", -1}, {"FOR", -1}, {"WHILE", 1}, {"BREAK", 0}, {"NEXT", 0}, // 170
    {"INITIATE", 2}, {"REQUEST", 2}, {"POKE", 3}, {"EXECUTE", 2}, {"TERMINATE", 1}, // 175
    {"RESTART", -1}, {"HELP", -1}, {"GET.BAR", -1}, {"PRODUCT", -1}, {"FACT", 1}, // 180
    {"GET.CELL", -1}, {"GET.WORKSPACE", 1}, {"GET.WINDOW", -1}, {"GET.DOCUMENT", -1}, {"DPRODUCT", 3}, // 185
    {"ISNONTEXT", 1}, {"GET.NOTE", -1}, {"NOTE", -1}, {"STDEVP", -1}, {"VARP", -1}, // 190
    {"DSTDEVP", 3}, {"DVARP", 3}, {"TRUNC", -1}, {"ISLOGICAL", 1}, {"DCOUNTA", 3}, // 195
    {"DELETE.BAR", 1}, {"UNREGISTER", 1}, {nullptr, -1}, {nullptr, -1}, {"USDOLLAR", -1}, // 200
    {"FINDB", -1}, {"SEARCHB", -1}, {"REPLACEB", 4}, {"LEFTB", -1}, {"RIGHTB", -1}, // 205
    {"MIDB", 3}, {"LENB", 1}, {"ROUNDUP", 2}, {"ROUNDDOWN", 2}, {"ASC", 1}, // 210
    {"DBCS", 1}, {"RANK", -1}, {nullptr, -1}, {nullptr, -1}, {"ADDRESS", -1}, // 215
    {"DAYS360", -1}, {"TODAY", 0}, {"VDB", -1}, {"ELSE", 0}, {"ELSE.IF", 1}, // 220
    {"END.IF", 0}, {"FOR.CELL", -1}, {"MEDIAN", -1}, {"SUMPRODUCT", -1}, {"SINH", 1}, // 225
    {"COSH", 1}, {"TANH", 1}, {"ASINH", 1}, {"ACOSH", 1}, {"ATANH", 1}, // 230
    {"DGET", 3}, {"CREATE.OBJECT", -1}, {"VOLATILE", -1}, {"LAST.ERROR", 0}, {"CUSTOM.UNDO", -1}, // 235
    {"CUSTOM.REPEAT", -1}, {"FORMULA.CONVERT", -1}, {"GET.LINK.INFO", -1}, {"TEXT.BOX", -1}, {"INFO", 1}, // 240
    {"GROUP", 0}, {"GET.OBJECT", -1}, {"DB", -1}, {"PAUSE", -1}, {nullptr, -1}, // 245
    {nullptr, -1}, {"RESUME", -1}, {"FREQUENCY", 2}, {"ADD.TOOLBAR", -1}, {"DELETE.TOOLBAR", 1}, // 250
    {nullptr, -1}, {"RESET.TOOLBAR", 1}, {"EVALUATE", 1}, {"GET.TOOLBAR", -1}, {"GET.TOOL", -1}, // 255
    {"SPELLING.CHECK", -1}, {"ERROR.TYPE", 1}, {"APP.TITLE", -1}, {"WINDOW.TITLE", -1}, {"SAVE.TOOLBAR", -1}, // 260
    {"ENABLE.TOOL", 3}, {"PRESS.TOOL", 3}, {"REGISTER.ID", -1}, {"GET.WORKBOOK", -1}, {"AVEDEV", -1}, // 265
    {"BETADIST", -1}, {"GAMMALN", 1}, {"BETAINV", -1}, {"BINOMDIST", 4}, {"CHIDIST", 2}, // 270
    {"CHIINV", 2}, {"COMBIN", 2}, {"CONFIDENCE", 3}, {"CRITBINOM", 3}, {"EVEN", 1}, // 275
    {"EXPONDIST", 3}, {"FDIST", 3}, {"FINV", 3}, {"FISHER", 1}, {"FISHERINV", 1}, // 280
    {"FLOOR", 2}, {"GAMMADIST", 4}, {"GAMMAINV", 3}, {"CEILING", 2}, {"HYPGEOMDIST", 4}, // 285
    {"LOGNORMDIST", 3}, {"LOGINV", 3}, {"NEGBINOMDIST", 3}, {"NORMDIST", 4}, {"NORMSDIST", 1}, // 290
    {"NORMINV", 3}, {"NORMSINV", 1}, {"STANDARDIZE", 3}, {"ODD", 1}, {"PERMUT", 2}, // 295
    {"POISSON", 3}, {"TDIST", 3}, {"WEIBULL", 4}, {"SUMXMY2", 2}, {"SUMX2MY2", 2}, // 300
    {"SUMX2PY2", 2}, {"CHITEST", 2}, {"CORREL", 2}, {"COVAR", 2}, {"FORECAST", 3}, // 305
    {"FTEST", 2}, {"INTERCEPT", 2}, {"PEARSON", 2}, {"RSQ", 2}, {"STEYX", 2}, // 310
    {"SLOPE", 2}, {"TTEST", 4}, {"PROB", -1}, {"DEVSQ", -1}, {"GEOMEAN", -1}, // 315
    {"HARMEAN", -1}, {"SUMSQ", -1}, {"KURT", -1}, {"SKEW", -1}, {"ZTEST", -1}, // 320
    {"LARGE", 2}, {"SMALL", 2}, {"QUARTILE", 2}, {"PERCENTILE", 2}, {"PERCENTRANK", -1}, // 325
    {"MODE", -1}, {"TRIMMEAN", 2}, {"TINV", 2}, {nullptr, -1}, {"MOVIE.COMMAND", -1}, // 330
    {"GET.MOVIE", -1}, {"CONCATENATE", -1}, {"POWER", 2}, {"PIVOT.ADD.DATA", -1}, {"GET.PIVOT.TABLE", -1}, // 335
    {"GET.PIVOT.FIELD", -1}, {"GET.PIVOT.ITEM", -1}, {"RADIANS", 1}, {"DEGREES", 1}, {"SUBTOTAL", -1}, // 340
    {"SUMIF", -1}, {"COUNTIF", 2}, {"COUNTBLANK", 1}, {"SCENARIO.GET", -1}, {"OPTIONS.LISTS.GET", 1}, // 345
    {"ISPMT", 4}, {"DATEDIF", 3}, {"DATESTRING", 1}, {"NUMBERSTRING", 2}, {"ROMAN", -1}, // 350
    {"OPEN.DIALOG", -1}, {"SAVE.DIALOG", -1}, {"VIEW.GET", -1}, {"GETPIVOTDATA", 2}, {"HYPERLINK", -1}, // 355
    {"PHONETIC", 1}, {"AVERAGEA", -1}, {"MAXA", -1}, {"MINA", -1}, {"STDEVPA", -1}, // 360
    {"VARPA", -1}, {"STDEVA", -1}, {"VARA", -1}, {"BAHTTEXT", 1}, {"THAIDAYOFWEEK", 1}, // 365
    {"THAIDIGIT", 1}, {"THAIMONTHOFYEAR", 1}, {"THAINUMSOUND", 1}, {"THAINUMSTRING", 1}, {"THAISTRINGLENGTH", 1}, // 370
    {"ISTHAIDIGIT", 1}, {"ROUNDBAHTDOWN", 1}, {"ROUNDBAHTUP", 1}, {"THAIYEAR", 1}, {"RTD", -1}, // 375
    {"CUBEVALUE", -1}, {"CUBEMEMBER", -1}, {"CUBEMEMBERPROPERTY", -1}, {"CUBERANKEDMEMBER", -1}, {"HEX2BIN", -1}, // 380
    {"HEX2DEC", -1}, {"HEX2OCT", -1}, {"DEC2BIN", -1}, {"DEC2HEX", -1}, {"DEC2OCT", -1}, // 385
    {"OCT2BIN", -1}, {"OCT2HEX", -1}, {"OCT2DEC", -1}, {"BIN2DEC", -1}, {"BIN2OCT", -1}, // 390
    {"BIN2HEX", -1}, {"IMSUB", -1}, {"IMDIV", -1}, {"IMPOWER", -1}, {"IMABS", -1}, // 395
    {"IMSQRT", -1}, {"IMLN", -1}, {"IMLOG2", -1}, {"IMLOG10", -1}, {"IMSIN", -1}, // 400
    {"IMCOS", -1}, {"IMEXP", -1}, {"IMARGUMENT", -1}, {"IMCONJUGATE", -1}, {"IMAGINARY", -1}, // 405
    {"IMREAL", -1}, {"COMPLEX", -1}, {"IMSUM", -1}, {"IMPRODUCT", -1}, {"SERIESSUM", -1}, // 410
    {"FACTDOUBLE", -1}, {"SQRTPI", -1}, {"QUOTIENT", -1}, {"DELTA", -1}, {"GESTEP", -1}, // 415
    {"ISEVEN", -1}, {"ISODD", -1}, {"MROUND", -1}, {"ERF", -1}, {"ERFC", -1}, // 420
    {"BESSELJ", -1}, {"BESSELK", -1}, {"BESSELY", -1}, {"BESSELI", -1}, {"XIRR", -1}, // 425
    {"XNPV", -1}, {"PRICEMAT", -1}, {"YIELDMAT", -1}, {"INTRATE", -1}, {"RECEIVED", -1}, // 430
    {"DISC", -1}, {"PRICEDISC", -1}, {"YIELDDISC", -1}, {"TBILLEQ", -1}, {"TBILLPRICE", -1}, // 435
    {"TBILLYIELD", -1}, {"PRICE", -1}, {"YIELD", -1}, {"DOLLARDE", -1}, {"DOLLARFR", -1}, // 440
    {"NOMINAL", -1}, {"EFFECT", -1}, {"CUMPRINC", -1}, {"CUMIPMT", -1}, {"EDATE", -1}, // 445
    {"EOMONTH", -1}, {"YEARFRAC", -1}, {"COUPDAYBS", -1}, {"COUPDAYS", -1}, {"COUPDAYSNC", -1}, // 450
    {"COUPNCD", -1}, {"COUPNUM", -1}, {"COUPPCD", -1}, {"DURATION", -1}, {"MDURATION", -1}, // 455
    {"ODDLPRICE", -1}, {"ODDLYIELD", -1}, {"ODDFPRICE", -1}, {"ODDFYIELD", -1}, {"RANDBETWEEN", -1}, // 460
    {"WEEKNUM", -1}, {"AMORDEGRC", -1}, {"AMORLINC", -1}, {"CONVERT", -1}, {"ACCRINT", -1}, // 465
    {"ACCRINTM", -1}, {"WORKDAY", -1}, {"NETWORKDAYS", -1}, {"GCD", -1}, {"MULTINOMIAL", -1}, // 470
    {"LCM", -1}, {"FVSCHEDULE", -1}, {"CUBEKPIMEMBER", -1}, {"CUBESET", -1}, {"CUBESETCOUNT", -1}, // 475
    {"IFERROR", -1}, {"COUNTIFS", -1}, {"SUMIFS", -1}, {"AVERAGEIF", -1}, {"AVERAGEIFS", -1}, // 480
};
// clang-format on

} // namespace

const FunctionInfo *LookupFunction(uint16_t iftab)
{
    if (iftab >= std::size(rgFunction) || rgFunction[iftab].szName == nullptr) {
        return nullptr;
    }
    return &rgFunction[iftab];
}
