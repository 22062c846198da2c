// Reading one C file with libclang into the syntax tree of a project.
//
// Ownership: the new file node and every node below it are adopted by the
// given project.
#ifndef VORL_FRONTEND_CLANG_READER_H
#define VORL_FRONTEND_CLANG_READER_H

#include <string>
#include <vector>

#include "frontend/sg_project.h"

// Parses the file at path with the given parser arguments (language,
// standard, preprocessor switches) and appends its file node to the project.
// Ends the process (status 1) on a missing or unreadable file or any parse
// error, with one line on the error stream: the place and source line of the
// first error, its message and the number of other errors.
SgSourceFile* read_c_file(SgProject* project, const std::string& path,
                          const std::vector<std::string>& parser_arguments);

// The same for text held in memory, parsed as the contents of the file at
// path (which is not read), after the declarations of prelude (none when
// empty), seen as a header included before the file: the lines and columns
// of the file are those of text.
SgSourceFile* read_c_text(SgProject* project, const std::string& path, const std::string& text,
                          const std::vector<std::string>& parser_arguments,
                          const std::string& prelude);

#endif
