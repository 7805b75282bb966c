// Wildcard matching over whole characters, without regard to letter case.
#include "doclist/NamePattern.h"

#include <QList>

namespace paperloom {
namespace {

// Greedy matching with one step back to the last '*': linear for the usual patterns.
bool wildcardMatch(const QList<uint>& name, const QList<uint>& pattern) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starAt = -1;
    qsizetype resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == uint('*')) {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == uint('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == uint('*')) {
        ++p;
    }
    return p == pattern.size();
}

bool matchesFolded(const QString& name, const QList<uint>& pattern) {
    return wildcardMatch(name.toUcs4(), pattern);
}

} // namespace

bool matchesNamePattern(const QString& name, const QString& pattern) {
    const QString foldedName = name.toCaseFolded();
    const QString foldedPattern = pattern.toCaseFolded();
    const QList<uint> patternChars = foldedPattern.toUcs4();
    if (matchesFolded(foldedName, patternChars)) {
        return true;
    }
    const qsizetype nameDot = foldedName.lastIndexOf(QChar('.'));
    if (nameDot < 0) {
        return matchesFolded(foldedName + QChar('.'), patternChars);
    }
    // A long extension also answers to its first three characters, so that a typed "doc"
    // finds the newer .docx and .docm documents too.
    const qsizetype patternDot = foldedPattern.lastIndexOf(QChar('.'));
    const QString patternExtension = patternDot < 0 ? QString() : foldedPattern.mid(patternDot + 1);
    const QString nameExtension = foldedName.mid(nameDot + 1);
    if (patternExtension.size() == 3 && !patternExtension.contains(QChar('*')) &&
        nameExtension.size() > 3) {
        return matchesFolded(foldedName.left(nameDot + 4), patternChars);
    }
    return false;
}

} // namespace paperloom
