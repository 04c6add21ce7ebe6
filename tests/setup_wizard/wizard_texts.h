// What the wizard's forms should show in a language: the Captions and Hints of setup's form
// descriptions (the native texts) and their translations as the built Wizard.gld holds them.
// Tests compare what the windows show with these, so no translated text is written twice.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "qx/QxGLD.h"

namespace wizardtexts {

// One Caption or Hint of a form description: the object that carries it, the objects it lies
// in (outermost first, the form included) and its text.
struct FormText {
    std::string object;
    std::vector<std::string> parents;
    std::string property;
    std::string text;
    bool Under(const std::string& name) const {
        for (const std::string& p : parents)
            if (p == name) return true;
        return false;
    }
};

// The quoted value of a one-line string property ("Caption = 'It''s'"), else false.
inline bool QuotedValue(const std::string& rest, std::string& value) {
    size_t q = rest.find(" = ");
    if (q == std::string::npos || q + 3 >= rest.size() || rest[q + 3] != '\'') return false;
    value.clear();
    for (size_t i = q + 4; i < rest.size(); ++i) {
        if (rest[i] != '\'') {
            value += rest[i];
        } else if (i + 1 < rest.size() && rest[i + 1] == '\'') {
            value += '\'';
            ++i;
        } else {
            return i + 1 == rest.size();
        }
    }
    return false;
}

// Every Caption and Hint of the form description at `path`, in the order they stand.
inline std::vector<FormText> ReadFormTexts(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::vector<FormText> texts;
    std::vector<std::string> stack;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos) continue;
        std::string rest = line.substr(at);
        if (rest.rfind("object ", 0) == 0) {
            stack.push_back(rest.substr(7, rest.find(':') - 7));
        } else if (rest == "end") {
            if (!stack.empty()) stack.pop_back();
        } else {
            for (const char* property : {"Caption", "Hint"}) {
                std::string value;
                if (rest.rfind(std::string(property) + " = ", 0) == 0 && !stack.empty()) {
                    EXPECT_TRUE(QuotedValue(rest, value)) << path << ": " << line;
                    texts.push_back({stack.back(), {stack.begin(), stack.end() - 1}, property, value});
                }
            }
        }
    }
    return texts;
}

// The texts of the dictionary file by native text, one per language (the native first).
class Dictionary {
public:
    explicit Dictionary(const std::string& gldPath) {
        qx::TQxGLDFile file;
        file.OpenFile(gldPath);
        for (int32_t i = 0; i < file.LanguageCount(); ++i)
            primary_.push_back(file.ReadLanguageAt(i)->PrimaryId);
        file.SeekTranslations();
        for (int32_t i = 0; i < file.TranslationCount(); ++i) {
            std::string a, b;
            std::vector<std::string> texts;
            file.ReadTranslationTexts(a, b, texts);
            if (!texts.empty()) texts_[texts[0]] = texts;
        }
    }
    // The index of the language with the given primary language id, -1 when there is none.
    int Language(int primaryId) const {
        for (size_t i = 0; i < primary_.size(); ++i)
            if (primary_[i] == primaryId) return static_cast<int>(i);
        return -1;
    }
    // `native` in language `index` (language 0 is the native text itself); a text the
    // dictionary does not hold is shown as it is.
    std::string Text(const std::string& native, int index) const {
        auto it = texts_.find(native);
        if (index <= 0 || it == texts_.end() || index >= static_cast<int>(it->second.size()))
            return native;
        return it->second[static_cast<size_t>(index)];
    }
    bool Holds(const std::string& native) const { return texts_.count(native) != 0; }
    // Whether `text` is a native text that language `index` shows differently.
    bool UntranslatedIn(const std::string& text, int index) const {
        return Holds(text) && Text(text, index) != text;
    }

private:
    std::vector<int32_t> primary_;
    std::map<std::string, std::vector<std::string>> texts_;
};

}  // namespace wizardtexts
