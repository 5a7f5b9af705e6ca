// JXCommandLine: a tokenizer over one command-line text of the agent's tools.
//
// Options start with '-' or '/' followed by a letter; an option's argument is
// the text after it, up to the next option sign that follows a blank, or a
// quoted text. Usage:
//
//   JXCommandLine line;
//   line.setCommandLine("-j 42 -t 'two words'");
//   while (char option = line.getNextOption()) { line.getArgument(buffer, sizeof buffer); ... }
#pragma once

#include <cstddef>
#include <string>

class JXCommandLine {
public:
    // False for a null or empty line; otherwise keeps the line and puts the
    // cursor at its start.
    bool setCommandLine(const char* line);

    // The line the cursor walks.
    const std::string& commandLine() const { return m_workingCopy; }

    // Moves the cursor to the next '-' or '/' (the cursor's own character
    // included), steps over it and returns the option letter, leaving the
    // cursor on it; 0 at the end of the line.
    char getNextOption();

    // True when the text at the cursor begins with `name`; the cursor then
    // moves to the name's last character. False for an empty name.
    bool isOption(const std::string& name);

    // Reads the argument of the option under the cursor into `out` of
    // `outSize` bytes (always terminated). Blanks and tabs around it are
    // removed; a text in single or double quotes is taken whole, quotes
    // removed. Otherwise the argument runs from its first character to the
    // next '-' or '/' that follows a blank, so paths and negative numbers stay
    // whole. The cursor stops just before that option sign (or on the closing
    // quote). False, with `out` empty, for a null or zero-sized
    // buffer, an unterminated quote or an argument that does not fit.
    bool getArgument(char* out, std::size_t outSize);

private:
    bool IsBlankAt(std::size_t pos) const;

    std::string m_workingCopy;  // the line the cursor walks
    std::size_t m_cursor = 0;   // index into it; its size is the end
};
