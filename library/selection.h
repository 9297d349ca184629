// Selection: a small language that chooses atoms of a molecule by residue, chain, name, element,
// alternate site, class and distance, parsed once and applied to any molecule.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace VXMole {

class Molecule;

// The grammar, in the style of PyMOL and ChimeraX (words are case-insensitive, except values
// of chain and alt):
//
//   selection := term ("or" term)*
//   term      := factor ("and" factor)*
//   factor    := "not" factor | "within" D "of" factor | "byres" factor | "(" selection ")"
//              | keyword values | class | "all"
//   keyword   := resn | resi | chain | name | elem | alt
//   class     := protein | nucleic | water | ligand | metal | hydrogen
//
// Values are joined by "+" ("resn SKE+ATP", "resi 10-20+35"). resn and name compare without
// regard to case and take the wildcards * (any run of characters) and ? (one character); chain
// and alt compare exactly; elem names an element symbol in any case. resi takes numbers with an
// optional insertion code and ranges of them ("52", "52A", "-3", "10-20", "52-52B"): a range
// holds the residues whose number and insertion code lie between its ends, codes ordered blank,
// then A, B, ... A value between quotes stands alone; '' or "" is a blank chain or alternate site.
// "within D of S" takes every atom within D Å (inclusive) of an atom of S, S included; "byres S"
// takes whole residues that hold an atom of S. The classes are those of ResidueClasses, and
// hydrogen is every hydrogen atom; ligand is a residue of none of the other classes.
class Selection {
 public:
  struct Node;

  // Parses `text`. A text that breaks the grammar raises MoleExcept kErrSelectionSyntax, whose
  // message quotes the text, says what is wrong and where (character positions from 1).
  explicit Selection(std::string text);
  ~Selection();
  Selection(const Selection&);
  Selection& operator=(const Selection&);

  const std::string& text() const { return text_; }

  // The atoms of the molecule the selection takes, by atom position.
  std::vector<bool> atoms(const Molecule& molecule) const;

 private:
  std::string text_;
  std::shared_ptr<const Node> root_;
};

}  // namespace VXMole
