// The expression tree a formula's tokens build, operand by operand as the stack machine would,
// and its one pass to text: parentheses where precedence needs them, spaces where stored.
#ifndef CELLSIFT_FORMULA_FORMULATREE_H
#define CELLSIFT_FORMULA_FORMULATREE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// How tightly an operator binds, loosest first; operands bind tightest.
enum FormulaPrec : uint8_t {
    precCompare = 1,
    precConcat,
    precAdd,
    precMul,
    precPower,
    precPercent,
    precUnary,
    precUnion,
    precIsect,
    precRange,
    precOperand,
};

// Nodes live in one vector and leaf texts in one pool, so nothing is copied as the tree grows:
// an operator links the nodes it takes, and the text is written once, at the end. Every node
// comes from a token of at least one byte, so the tree is linear in the formula.
class FormulaTree {
public:
    // Room for the tree of cbTokens bytes of tokens, so that a formula grows no vector: a
    // token of three bytes or more is the common one.
    explicit FormulaTree(size_t cbTokens)
    {
        m_rgNode.reserve(cbTokens / 3 + 2);
        m_rgiStack.reserve(cbTokens / 3 + 2);
        m_sPool.reserve(2 * cbTokens + 8);
    }
    // The pool where a leaf's text is written before PushLeaf takes it from ibStart on.
    std::string &Pool() { return m_sPool; }
    void PushLeaf(size_t ibStart);
    // A stored tAttrSpace: type 0-6 as stored, waiting for the node it stands before.
    void AddSpace(uint8_t type, uint8_t cch);

    // Each takes its operands from the stack; false when the stack holds too few.
    bool PushPrefix(const char *szSym);
    bool PushPostfix(const char *szSym);
    bool PushBinary(const char *szSym, FormulaPrec prec);
    bool PushParen();
    // szName null: the first argument is the name (an add-in or user-defined call).
    bool PushFunction(const char *szName, size_t cArg, bool fPrompt);

    size_t Depth() const { return m_rgiStack.size(); }

    // Writes the stack's nodes, separated by a space when there are several (a damaged
    // formula), at most cbMax bytes; false when that was not enough.
    bool Emit(size_t cbMax, std::string *psOut) const;

private:
    enum class Kind : uint8_t {
        Leaf,
        Prefix,
        Postfix,
        Binary,
        Paren,
        Function
    };
    struct Node {
        Kind kind;
        FormulaPrec prec;
        bool fPrompt;
        const char *szSym;         // operator or function name; null for leaves and add-in calls
        uint32_t ibText, cbText;   // a leaf's text in the pool
        uint32_t ibPre, cbPre;     // stored spaces before the node's own text
        uint32_t ibClose, cbClose; // stored spaces before its closing parenthesis
        uint32_t iChild;           // first operand; the others follow by iNext
        uint32_t iNext;
    };
    static const uint32_t iNone = UINT32_MAX;

    uint32_t NewNode(Kind kind, FormulaPrec prec, const char *szSym);
    bool Link(uint32_t iNode, size_t cOperand);
    void TakePending(std::string *psPending, uint32_t *pib, uint32_t *pcb);
    bool IsUnion(uint32_t iNode) const;

    std::vector<Node> m_rgNode;
    std::vector<uint32_t> m_rgiStack;
    std::string m_sPool;
    std::string m_sPendingPre, m_sPendingClose;
};

#endif
