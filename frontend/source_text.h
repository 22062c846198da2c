// Naming a place of the input in a message: "prog.c:7:12" and the source
// text of the construct there, on one line.
//
// Ownership: plain values; the nodes are only read.
#ifndef VORL_FRONTEND_SOURCE_TEXT_H
#define VORL_FRONTEND_SOURCE_TEXT_H

#include <string>

class SgNode;

// The text on one line: every run of blanks and line breaks becomes one
// blank, the ends are trimmed, and a text longer than 72 characters is cut
// and ends with "...".
std::string one_line(const std::string& text);

// "file:line:column" of the node; the file name alone when the node has no
// line; empty for a null node or one of no file.
std::string location_of(const SgNode* node);

// The construct a node belongs to, as written, on one line: the header of
// the for loop, if, while, do or switch whose header holds it ("for (i = 0;
// i < N; i++)", "if (i != 2)"), the whole assignment or expression statement
// it is part of ("a[i] = b[i] + 1"), the declaration, or the node itself.
std::string construct_of(const SgNode* node);

// "file:line:column: construct: " for a node, the start of every message
// that refuses the input there; empty for a null node.
std::string refusal_prefix(const SgNode* node);

#endif
