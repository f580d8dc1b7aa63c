// A sheet's drawings that carry text: OBJ records naming objects, TXO records holding their
// text, and NOTE records tying a comment to a cell; emitted after the sheet's cells.
#include <unordered_map>

#include "biff/RecordTypes.h"
#include "recordtext/RecordStrings.h"
#include "workbook/SheetReader.h"

// The object's id, which a NOTE refers to: in BIFF8 inside the common object data.
void SheetReader::ReadObj(const BiffRecord &record)
{
    ByteCursor body = record.Body(m_book.pb);
    uint16_t wFirst = body.Le16();
    body.Skip(4);
    uint16_t idObj = body.Le16();
    if (m_book.FShortRecord(body, record)) {
        return;
    }
    if (m_book.nBiff < 8 || wFirst == 0x15) {
        m_idObjLast = idObj;
    }
}

// A TXO's text is in the CONTINUE records after it: in BIFF8 each starts with a flags byte.
void SheetReader::ReadTxo(const BiffRecord &record)
{
    ByteCursor body = record.Body(m_book.pb);
    body.Skip(10);
    size_t cch = body.Le16();
    if (m_book.FShortRecord(body, record)) {
        return;
    }
    ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
    TxoEntry txo = {m_idObjLast, false, std::string()};
    if (cch > 0 && text.NextPart()) {
        if (m_book.nBiff >= 8) {
            bool fHighByte = (text.U8() & 0x01) != 0;
            ReadCharacters(&text, cch, fHighByte, &txo.text);
        } else {
            ReadCodePageBytes(&text, cch, m_book.decoder, &txo.text);
        }
    }
    if (text.FShort()) {
        m_book.Warn("a text box or comment is cut short");
    }
    m_rgTxo.push_back(std::move(txo));
}

void SheetReader::ReadNote(const BiffRecord &record)
{
    ByteCursor body = record.Body(m_book.pb);
    uint32_t row = body.Le16(), col = body.Le16();
    ContinuedCursor text(m_book.pb, m_book.cb, record.ib);
    text.Skip(4);
    if (m_book.nBiff >= 8) {
        body.Skip(2); // flags
        uint16_t idObj = body.Le16();
        if (m_book.FShortRecord(body, record)) {
            return;
        }
        text.Skip(4);
        NoteEntry note = {row, col, idObj, false, std::string(), std::string()};
        m_book.ReadString(&text, false, &note.author);
        m_rgNote.push_back(std::move(note));
        return;
    }
    // Older notes carry their text, a long one going on in NOTE records with row 0xFFFF.
    size_t cb = body.Le16();
    if (m_book.FShortRecord(body, record)) {
        return;
    }
    text.Skip(2);
    cb = cb < body.CbLeft() ? cb : body.CbLeft();
    if (row == 0xFFFF && !m_rgNote.empty()) {
        ReadCodePageBytes(&text, cb, m_book.decoder, &m_rgNote.back().text);
        return;
    }
    NoteEntry note = {row, col, 0, true, std::string(), std::string()};
    ReadCodePageBytes(&text, cb, m_book.decoder, &note.text);
    m_rgNote.push_back(std::move(note));
}

// Comments, each with the TXO its NOTE names, then every TXO no NOTE took: the text boxes.
void SheetReader::EmitDrawingText()
{
    std::unordered_map<uint16_t, size_t> mapTxoOfObj;
    for (size_t i = 0; i < m_rgTxo.size(); i++) {
        mapTxoOfObj.emplace(m_rgTxo[i].idObj, i);
    }
    for (NoteEntry &note : m_rgNote) {
        std::string_view text = note.text;
        if (!note.fOwnText) {
            std::unordered_map<uint16_t, size_t>::iterator it = mapTxoOfObj.find(note.idObj);
            if (it == mapTxoOfObj.end() || m_rgTxo[it->second].fTaken) {
                m_book.Warn("a comment's text is missing");
                text = std::string_view();
            } else {
                m_rgTxo[it->second].fTaken = true;
                text = m_rgTxo[it->second].text;
            }
        }
        Comment comment = {m_iSheet, note.row, note.col, note.author, text};
        m_book.visitor.OnComment(comment);
    }
    for (const TxoEntry &txo : m_rgTxo) {
        if (!txo.fTaken) {
            TextBox box = {m_iSheet, txo.text};
            m_book.visitor.OnTextBox(box);
        }
    }
}
