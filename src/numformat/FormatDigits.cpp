// The decimal digits of numbers as the formats show them, and General. Values are rounded on
// their first 15 significant digits, half away from zero, so 2.675 with 0.00 shows 2.68.
#include "numformat/FormatDigits.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <charconv>

#include "numformat/CellValue.h"

void RoundTo(Decimal *pDec, int cKeep)
{
    if (cKeep >= pDec->cDigit) {
        return;
    }
    bool fUp = cKeep >= 0 && pDec->rg[cKeep] >= '5';
    pDec->cDigit = cKeep > 0 ? cKeep : 0;
    if (fUp) {
        int i = cKeep - 1;
        while (i >= 0 && pDec->rg[i] == '9') {
            i--;
        }
        if (i < 0) {
            pDec->rg[0] = '1';
            pDec->cDigit = 1;
            pDec->nInt++;
        } else {
            pDec->rg[i]++;
            pDec->cDigit = i + 1;
        }
    }
    pDec->TrimZeros();
}

void ToDecimal(double v, Decimal *pDec)
{
    pDec->cDigit = 0;
    pDec->nInt = 0;
    if (!(v > 0) || !isfinite(v)) {
        return;
    }
    char rgch[40];
    if (v < 1e15 && v == floor(v)) {
        std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), static_cast<uint64_t>(v));
        pDec->cDigit = pDec->nInt = static_cast<int>(result.ptr - rgch);
        memcpy(pDec->rg, rgch, static_cast<size_t>(pDec->cDigit));
    } else {
        // The shortest digits S that read back as a normal v round to 15 digits as v itself
        // does: no 16-digit half-way point lies between v and S, or it would be a shorter S.
        // Only when S ends in that half-way 5 must v's own digits decide.
        std::to_chars_result result =
            std::to_chars(rgch, rgch + sizeof(rgch), v, std::chars_format::scientific);
        const char *pchExp = std::find(rgch, result.ptr, 'e');
        int cDigit = pchExp - rgch > 1 ? static_cast<int>(pchExp - rgch) - 1 : 1;
        if ((cDigit == 16 && pchExp[-1] == '5') || v < DBL_MIN) {
            result = std::to_chars(rgch, rgch + sizeof(rgch), v, std::chars_format::scientific, 14);
            pchExp = rgch + 16;
            cDigit = 15;
        }
        pDec->rg[0] = rgch[0];
        memcpy(pDec->rg + 1, rgch + 2, static_cast<size_t>(cDigit) - 1);
        pDec->cDigit = cDigit;
        int nExp = 0;
        std::from_chars(pchExp + 1 + (pchExp[1] == '+'), result.ptr, nExp);
        pDec->nInt = nExp + 1;
    }
    RoundTo(pDec, 15);
    pDec->TrimZeros();
}

// The 15 digits move v * 10^cFrac by at most half a unit of their last place, and the product
// is off by half a unit of its last bit: together less than s * 1e-14. Unless a half-way point
// lies that near, rounding the product itself gives the same digits, without the shortest
// digits of v.
bool RoundProduct(double v, int cFrac, uint64_t *pn)
{
    static const double rgdPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (cFrac < 0 || cFrac >= static_cast<int>(sizeof(rgdPow10) / sizeof(rgdPow10[0]))) {
        return false;
    }
    double s = v * rgdPow10[cFrac];
    if (!(s >= 0 && s < 1e15)) {
        return false;
    }
    double dFloor = floor(s);
    double dFrac = s - dFloor;
    if (!(fabs(dFrac - 0.5) > s * 1e-14)) {
        return false;
    }
    *pn = static_cast<uint64_t>(dFloor) + (dFrac > 0.5);
    return true;
}

void ToRoundedDecimal(double v, int cFrac, Decimal *pDec)
{
    uint64_t n;
    if (RoundProduct(v, cFrac, &n)) {
        std::to_chars_result result = std::to_chars(pDec->rg, pDec->rg + sizeof(pDec->rg), n);
        pDec->cDigit = static_cast<int>(result.ptr - pDec->rg);
        pDec->nInt = pDec->cDigit - cFrac;
        pDec->TrimZeros();
        return;
    }
    ToDecimal(v, pDec);
    RoundTo(pDec, pDec->nInt + cFrac);
}

void ToWhole(double v, Decimal *pDec)
{
    ToDecimal(v, pDec);
    RoundTo(pDec, pDec->nInt);
}

void AppendDecimalDigits(const Decimal &dec, std::string *ps)
{
    for (int i = 0; i < dec.nInt; i++) {
        ps->push_back(dec.At(i));
    }
}

namespace {

// Where General writes fixed notation, as LibreOffice's "as shown" text does; the rule was
// read off values of every magnitude (tests/numformat/cases/make-format-cases.py froze them):
//   - from 10^15 up, whole numbers below 2^53 only (1E+15 for 10^15 + 0.5);
//   - from 10^-4 up to 10^15, always (0.0373942797527919, 0.000123456789012346);
//   - below 10^-9 never; the double's log10 decides, so 9.99999999999999E-10 counts as 10^-9;
//   - between, when rounding the value to 16 decimals moves it by less than 2^-48 of itself:
//     0.0000000012345678 and 0.00000900000000000003 are fixed, 1.23456789E-09 and
//     9.00000000000004E-06 scientific.
bool IsGeneralFixed(double v)
{
    if (v >= 1e15) {
        return v < 9007199254740992.0 && v == floor(v);
    }
    if (v >= 1e-4) {
        return true;
    }
    if (floor(log10(v)) < -9) {
        return false;
    }
    double dRounded = nearbyint(v * 1e16) / 1e16;
    double dMoved = fabs(v - dRounded), dTolerance = ldexp(1.0, -48);
    return dMoved < v * dTolerance && dMoved < dRounded * dTolerance;
}

} // namespace

// 15 significant digits in fixed notation, with at most 20 decimals, or in scientific
// notation with an exponent of at least two digits (1E+16, 1.5E-10).
void AppendGeneral(double d, std::string *ps, std::string_view decimal)
{
    if (!isfinite(d)) {
        AppendNumber(d, ps);
        return;
    }
    Decimal dec;
    ToDecimal(fabs(d), &dec);
    if (dec.IsZero()) {
        ps->push_back('0');
        return;
    }
    if (d < 0) {
        ps->push_back('-');
    }
    if (IsGeneralFixed(fabs(d))) {
        RoundTo(&dec, dec.nInt + 20);
        if (dec.nInt <= 0) {
            ps->push_back('0');
        }
        AppendDecimalDigits(dec, ps);
        if (dec.cDigit > dec.nInt) {
            ps->append(decimal);
            for (int i = dec.nInt < 0 ? dec.nInt : 0; i < 0; i++) {
                ps->push_back('0');
            }
            for (int i = dec.nInt > 0 ? dec.nInt : 0; i < dec.cDigit; i++) {
                ps->push_back(dec.rg[i]);
            }
        }
        return;
    }
    int nExp = dec.nInt - 1;
    ps->push_back(dec.rg[0]);
    if (dec.cDigit > 1) {
        ps->append(decimal);
        ps->append(dec.rg + 1, static_cast<size_t>(dec.cDigit) - 1);
    }
    ps->append(nExp < 0 ? "E-" : "E+");
    int nAbs = nExp < 0 ? -nExp : nExp;
    if (nAbs < 10) {
        ps->push_back('0');
    }
    char rgch[8];
    std::to_chars_result result = std::to_chars(rgch, rgch + sizeof(rgch), nAbs);
    ps->append(rgch, result.ptr);
}
