// The fixed parts of the generated program's text, in the order they stand
// in it. The program includes no header: it declares the few library
// functions it calls. Its own global names begin with vorl_, and so do the
// local names of the functions after the parameter table, where the
// parameters of the analysed program are macros.
//
// Ownership: static texts.
#ifndef VORL_CODEGEN_GENERATED_RUNTIME_H
#define VORL_CODEGEN_GENERATED_RUNTIME_H

/// The library functions used and the macros true, false, floord, ceild,
/// min, max and div (exact integer division, also of negative integers).
const char* generated_preamble();
/// Around the copied declarations of the program: compilers are not to take
/// its names (y1, gamma, ...) for their built-in functions.
const char* generated_declarations_begin();
const char* generated_declarations_end();
/// vorl_profile_row(): one line of the profile, which keeps the limit.
const char* generated_profile_row();
/// The reading of NAME=VALUE, --profile and --help on the command line into
/// the parameter table (vorl_parameters), and the printing of the profile
/// (after red_profile() and green_profile()).
const char* generated_command_line();
/// main(): the arguments, then the profile or both limits.
const char* generated_main();

#endif
