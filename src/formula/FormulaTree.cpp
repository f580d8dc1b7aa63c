// The expression tree of a formula and its text: built as the tokens' stack machine runs, written
// without recursion (nesting is as deep as the tokens are many) and within a byte bound.
#include "formula/FormulaTree.h"

#include <string.h>

namespace {

// One step of the writing: a node to write (with or without parentheses of its own), a text,
// or the rest of a function's arguments from one on.
struct Work {
    enum Op : uint8_t {
        Node,
        Text,
        ArgsFrom
    } op;
    bool fParens;
    uint32_t iNode;
    const char *pch;
    size_t cch;
};

Work NodeWork(uint32_t iNode, bool fParens)
{
    return Work{Work::Node, fParens, iNode, nullptr, 0};
}

Work TextWork(const char *pch, size_t cch)
{
    return Work{Work::Text, false, 0, pch, cch};
}

Work TextWork(const char *sz)
{
    return TextWork(sz, strlen(sz));
}

} // namespace

uint32_t FormulaTree::NewNode(Kind kind, FormulaPrec prec, const char *szSym)
{
    Node node{kind, prec, false, szSym, 0, 0, 0, 0, 0, 0, iNone, iNone};
    // Spaces stored before a closing parenthesis belong to the parenthesis or call that comes
    // next; before anything else they are shown in front of it rather than lost.
    if (kind != Kind::Paren && kind != Kind::Function) {
        m_sPendingPre += m_sPendingClose;
        m_sPendingClose.clear();
    }
    TakePending(&m_sPendingPre, &node.ibPre, &node.cbPre);
    TakePending(&m_sPendingClose, &node.ibClose, &node.cbClose);
    m_rgNode.push_back(node);
    return static_cast<uint32_t>(m_rgNode.size() - 1);
}

void FormulaTree::TakePending(std::string *psPending, uint32_t *pib, uint32_t *pcb)
{
    *pib = static_cast<uint32_t>(m_sPool.size());
    *pcb = static_cast<uint32_t>(psPending->size());
    m_sPool += *psPending;
    psPending->clear();
}

void FormulaTree::PushLeaf(size_t ibStart)
{
    // The leaf's text is already in the pool; its spaces go after it there.
    uint32_t ib = static_cast<uint32_t>(ibStart), cb = static_cast<uint32_t>(m_sPool.size() - ibStart);
    uint32_t iNode = NewNode(Kind::Leaf, precOperand, nullptr);
    m_rgNode[iNode].ibText = ib;
    m_rgNode[iNode].cbText = cb;
    m_rgiStack.push_back(iNode);
}

void FormulaTree::AddSpace(uint8_t type, uint8_t cch)
{
    // Odd types are line breaks, even ones spaces; 4 and 5 stand before a closing parenthesis.
    std::string *ps = type == 4 || type == 5 ? &m_sPendingClose : &m_sPendingPre;
    ps->append(cch, type & 1 ? '\n' : ' ');
}

bool FormulaTree::Link(uint32_t iNode, size_t cOperand)
{
    if (cOperand > m_rgiStack.size()) {
        m_rgNode.pop_back();
        return false;
    }
    size_t iFirst = m_rgiStack.size() - cOperand;
    for (size_t i = iFirst; i + 1 < m_rgiStack.size(); i++) {
        m_rgNode[m_rgiStack[i]].iNext = m_rgiStack[i + 1];
    }
    m_rgNode[iNode].iChild = cOperand ? m_rgiStack[iFirst] : iNone;
    m_rgiStack.resize(iFirst);
    m_rgiStack.push_back(iNode);
    return true;
}

bool FormulaTree::PushPrefix(const char *szSym)
{
    return Link(NewNode(Kind::Prefix, precUnary, szSym), 1);
}

bool FormulaTree::PushPostfix(const char *szSym)
{
    return Link(NewNode(Kind::Postfix, precPercent, szSym), 1);
}

bool FormulaTree::PushBinary(const char *szSym, FormulaPrec prec)
{
    return Link(NewNode(Kind::Binary, prec, szSym), 2);
}

bool FormulaTree::PushParen()
{
    return Link(NewNode(Kind::Paren, precOperand, nullptr), 1);
}

bool FormulaTree::PushFunction(const char *szName, size_t cArg, bool fPrompt)
{
    if (szName == nullptr && cArg == 0) {
        return false;
    }
    uint32_t iNode = NewNode(Kind::Function, precOperand, szName);
    m_rgNode[iNode].fPrompt = fPrompt;
    return Link(iNode, cArg);
}

bool FormulaTree::IsUnion(uint32_t iNode) const
{
    return m_rgNode[iNode].kind == Kind::Binary && m_rgNode[iNode].prec == precUnion;
}

bool FormulaTree::Emit(size_t cbMax, std::string *psOut) const
{
    // A node's writing adds at most a few steps at a time: room for the common case at once.
    std::vector<Work> rgWork;
    rgWork.reserve(2 * m_rgNode.size() + 4);
    for (size_t i = m_rgiStack.size(); i-- > 0;) {
        rgWork.push_back(NodeWork(m_rgiStack[i], false));
        if (i > 0) {
            rgWork.push_back(TextWork(" "));
        }
    }
    const char *pchPool = m_sPool.data();
    size_t cbWritten = 0;
    while (!rgWork.empty()) {
        Work work = rgWork.back();
        rgWork.pop_back();
        if (work.op == Work::Text) {
            if (work.cch > cbMax - cbWritten) {
                return false;
            }
            psOut->append(work.pch, work.cch);
            cbWritten += work.cch;
            continue;
        }
        const Node &node = m_rgNode[work.iNode];
        if (work.op == Work::ArgsFrom) {
            // A union among arguments needs parentheses, or its comma would split the argument.
            if (node.iNext != iNone) {
                rgWork.push_back(Work{Work::ArgsFrom, false, node.iNext, nullptr, 0});
                rgWork.push_back(TextWork(","));
            }
            rgWork.push_back(NodeWork(work.iNode, IsUnion(work.iNode)));
            continue;
        }
        // Pushed last to first: what is written first goes on the stack last.
        if (work.fParens) {
            rgWork.push_back(TextWork(")"));
        }
        Work pre = TextWork(pchPool + node.ibPre, node.cbPre);
        uint32_t iLeft = node.iChild;
        switch (node.kind) {
        case Kind::Leaf:
            rgWork.push_back(TextWork(pchPool + node.ibText, node.cbText));
            rgWork.push_back(pre);
            break;
        case Kind::Prefix:
            rgWork.push_back(NodeWork(iLeft, m_rgNode[iLeft].prec < node.prec));
            rgWork.push_back(TextWork(node.szSym));
            rgWork.push_back(pre);
            break;
        case Kind::Postfix:
            rgWork.push_back(TextWork(node.szSym));
            rgWork.push_back(pre);
            rgWork.push_back(NodeWork(iLeft, m_rgNode[iLeft].prec < node.prec));
            break;
        case Kind::Binary: {
            // All binary operators group from the left: an equal operator on the right was
            // parenthesised when it was written.
            uint32_t iRight = m_rgNode[iLeft].iNext;
            rgWork.push_back(NodeWork(iRight, m_rgNode[iRight].prec <= node.prec));
            rgWork.push_back(TextWork(node.szSym));
            rgWork.push_back(pre);
            rgWork.push_back(NodeWork(iLeft, m_rgNode[iLeft].prec < node.prec));
            break;
        }
        case Kind::Paren:
            rgWork.push_back(TextWork(")"));
            rgWork.push_back(TextWork(pchPool + node.ibClose, node.cbClose));
            rgWork.push_back(NodeWork(iLeft, false));
            rgWork.push_back(TextWork("("));
            rgWork.push_back(pre);
            break;
        case Kind::Function: {
            uint32_t iFirstArg = node.szSym ? iLeft : m_rgNode[iLeft].iNext;
            rgWork.push_back(TextWork(")"));
            rgWork.push_back(TextWork(pchPool + node.ibClose, node.cbClose));
            if (iFirstArg != iNone) {
                rgWork.push_back(Work{Work::ArgsFrom, false, iFirstArg, nullptr, 0});
            }
            rgWork.push_back(TextWork(node.fPrompt ? "?(" : "("));
            rgWork.push_back(node.szSym ? TextWork(node.szSym) : NodeWork(iLeft, false));
            rgWork.push_back(pre);
            break;
        }
        }
        if (work.fParens) {
            rgWork.push_back(TextWork("("));
        }
    }
    return true;
}
