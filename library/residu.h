// Residu: a residue or substructure of a molecule, matched against the residue table.
#pragma once

#include <string>
#include <vector>

namespace VXMole {

class Atom;
class Molecule;

// Residue kinds.
enum ResiduKind : int {
  kResiduOther = 0,
  kResiduCofactor = 1,
  kResiduAminoAcid = 2,
  kResiduWater = 5,
  kResiduDefault = 7,  // the molecule's default residue "<1>"
};

// Number given to the default residue that holds atoms read without a residue.
inline constexpr int kDefaultResiduNum = 100000;

// A residue: its numbers, names and kind, and the atoms it holds (not owned; the molecule owns
// them).
class Residu {
 public:
  Residu(Molecule* parent, int num, int mapNum, std::string name, std::string chain, int kind);

  // Matches the first three characters of the name against the residue table; a match sets the
  // table row and the kind, no match leaves both as they were.
  void checkResidu();
  std::string getCode() const;      // one-letter code, "" without a table row
  std::string getLongname() const;  // "" without a table row
  double getMolWeigth() const;      // g/mol, 0 without a table row

  Molecule* getParent() const { return parent_; }
  int getNum() const { return num_; }
  int getMapNum() const { return mapNum_; }
  const std::string& getName() const { return name_; }
  const std::string& getName3() const { return name3_; }
  const std::string& getChain() const { return chain_; }
  int getKind() const { return kind_; }
  void setKind(int kind) { kind_ = kind; }
  unsigned getTableIndex() const { return tableIndex_; }  // 64 when no row matched
  // PDB insertion code (column 27: 52, 52A, 52B are three residues), '\0' when none.
  char getInsertionCode() const { return insertionCode_; }
  void setInsertionCode(char code) { insertionCode_ = code == ' ' ? '\0' : code; }
  Atom* getRoot() const { return root_; }
  void setRoot(Atom* atom) { root_ = atom; }

  const std::vector<Atom*>& getAtoms() const { return atoms_; }
  size_t numAtoms() const { return atoms_.size(); }
  void addAtom(Atom* atom);
  void removeAtom(const Atom* atom);

  // "NAME (chain-mapNum)", as atoms cite their residue.
  std::string getIdentifier() const;
  std::string toString() const;

 private:
  Molecule* parent_;  // not owning
  int num_;
  int mapNum_;
  std::string name_;
  std::string chain_;
  int kind_;
  char insertionCode_ = '\0';  // '\0' if not set
  Atom* root_ = nullptr;       // representative atom, not owning
  std::string name3_;          // first three characters of the name
  unsigned tableIndex_;        // row of the residue table, 64 = none
  std::vector<Atom*> atoms_;
};

}  // namespace VXMole
