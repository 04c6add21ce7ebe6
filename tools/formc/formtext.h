// The readable text form of a form description and its compiler into the stored binary form.
//
//   object frmMain: TfrmMain          (also "inherited" / "inline"; "[n]" after the class
//     Caption = 'Setup'                gives the child position)
//     Font.Name = 'MS Sans Serif'      dotted names reach sub-objects
//     Color = clBtnFace                identifiers; True, False and nil have their own types
//     ClientWidth = 473                integers: decimal or $hex, the smallest type that fits
//     Ratio = 1.5                      floats (extended); suffix s single, c currency, d date
//     Text = 'it''s' + #13#10 'x'      strings: quoted parts and #n characters, joined by
//                                        adjacency or "+"; a character above 255 makes the
//                                        value a wide string
//     BorderIcons = [biSystemMenu]     sets
//     Lines.Strings = ('a' 'b')        lists of values
//     Picture.Data = {0954426974...}   binary data in hex
//     Items = <item [2] Caption = 'x' end>   collections (order value optional)
//     OnCreate = FormCreate            event bindings are identifiers
//     object Label1: TLabel ... end    children, after the properties
//   end
// "//" starts a comment that runs to the end of the line.
//
// Raises: rtl::Exception "<file>(<line>): <message>" for any syntax error.
#pragma once

#include <string>

namespace formtext {

struct CompiledForm {
    std::string Bytes;      // "TPF0" and the root component
    std::string RootClass;  // the class name of the root object
};

CompiledForm CompileFormText(const std::string& text, const std::string& fileName = "form");

}  // namespace formtext
