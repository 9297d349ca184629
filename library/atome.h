// Atom: element data, names, charges, MOL2 type and properties, and both coordinate sets.
#pragma once

#include <string>

#include "coords.h"
#include "physprop.h"
#include "slabpool.h"
#include "vertex.h"

namespace VXMole {

struct AtomDataRow;
class Bond;
class Molecule;
class Residu;

// An atom of the molecular model. Its number and map number live in its graph vertex, which
// also carries its bonds (each edge of the vertex points to a Bond). The number is the atom's
// index given by the reader; the map number is the atom number written in the file.
class Atom {
  VXMOLE_POOLED(Atom)

 public:
  static int debug;  // class-wide diagnostic switch, 0 = off

  Atom();
  Atom(unsigned num, unsigned mapNum, std::string symbol, double x, double y, double z,
       std::string name, std::string mol2type);
  Atom(unsigned num, unsigned mapNum, std::string symbol, std::string name, std::string mol2type);
  Atom(unsigned num, unsigned mapNum, std::string symbol, const Coords& position, std::string name,
       std::string mol2type);
  ~Atom();
  Atom(const Atom&) = delete;
  Atom& operator=(const Atom&) = delete;

  // Numbers, read from the vertex.
  unsigned getNum() const;
  unsigned getMapNum() const;
  void setNum(unsigned num);
  void setMapNum(unsigned mapNum);  // also tells the parent molecule, whose lookup uses it
  unsigned numBonds() const;
  Vertex* getVertex() const { return &vertex_; }

  // Element.
  unsigned getAtomicNum() const { return atomicNum_; }
  const std::string& getAtomicName() const { return symbol_; }  // element symbol
  std::string getLongName() const;                              // element name, e.g. "Carbon"
  double getMass() const;
  double getVdwRadius() const;
  double getAtomicRadius() const;
  const unsigned* getColor() const;  // red, green, blue
  void setAtomicNum(unsigned z);     // z in 1..88; others are ignored
  // For an atom whose type names no row of the type table: the element of the text before the
  // type's dot ("Ni", "Fe" of "Fe.oh"), else of the atom name's first letters, in any case.
  // False, the atom unchanged, when neither names an element.
  bool setElementFromTypeOrName();
  void setAtomicName(std::string symbol);
  void loadAtomicData();

  bool isHydrogen() const { return atomicNum_ == 1; }
  bool isCarbon() const { return atomicNum_ == 6; }
  bool isNitrogen() const { return atomicNum_ == 7; }
  bool isOxygen() const { return atomicNum_ == 8; }
  bool isPhosphorus() const { return atomicNum_ == 15; }
  bool isSulfur() const { return atomicNum_ == 16; }
  bool isHalogen() const;
  bool isMetallic() const;
  bool isCAlpha() const;

  // Names and types.
  const std::string& getName() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& getMOL2type() const { return mol2type_; }
  // Validates the type against the MOL2 type table, sets the element and the property flags and
  // stores the type. An empty type re-checks the stored one. Throws MoleExcept 3 or 4 and then
  // leaves the atom unchanged.
  void checkMOL2type(std::string type);
  // checkMOL2type, reporting a failure on the error stream before rethrowing it.
  void setMOL2type(std::string type);

  // Charges, in units of the elementary charge.
  double getPartialCharge() const { return partialCharge_; }
  void setPartialCharge(double charge) { partialCharge_ = charge; }
  double getFormalCharge() const { return formalCharge_; }
  void setFormalCharge(double charge) { formalCharge_ = charge; }

  // Coordinates in ångström: as read, and as set by a rigid transform.
  const Coords& getFixedCoords() const { return fixed_; }
  void setFixedCoords(const Coords& c) { fixed_ = c; }
  const Coords& getRotatedCoords() const { return rotated_; }
  void setRotatedCoords(const Coords& c) { rotated_ = c; }

  PhysProp& getProperties() { return properties_; }
  const PhysProp& getProperties() const { return properties_; }

  Residu* getResidu() const { return residue_; }
  void setResidu(Residu* residue) { residue_ = residue; }
  Molecule* getParent() const { return parent_; }
  void setParent(Molecule* parent) { parent_ = parent; }

  // Bonds.
  bool hasLink(const Atom* other) const;
  Bond* getBond(const Atom* other) const;
  // Type code of the first bond to `other`; 8 (undefined) when the two are not bonded.
  int getBondType(const Atom* other) const;
  // Detaches the bond's edge from this atom's vertex; the bond itself is not freed.
  void removeLink(Bond* bond);

  // "name (map number)", then " of RES (chain-number)" when the atom has a residue.
  std::string getIdentifier() const;
  std::string toString() const;

  // Copies element data, charges, names, type, mark, properties and coordinates from `other`,
  // and a copy of its vertex (numbers and weight; not its edges). Residue, parent and
  // dataLoaded are not copied.
  void clone(const Atom& other);
  // Clears the properties and the rotated coordinates.
  void clear();

  bool dataLoaded = false;  // element data were looked up by symbol
  bool excluded = false;    // pseudo-atom (ring centroid dummy): never paired

  // Alternate location letter of the record (PDB column 17), '\0' when the atom has one site.
  char getAltLoc() const { return altLoc_; }
  void setAltLoc(char altLoc) { altLoc_ = altLoc == ' ' ? '\0' : altLoc; }
  // Whether the two atoms can stand in one conformation: neither has an alternate location
  // letter, or both have the same one. No bond joins two different letters.
  bool sameConformation(const Atom& other) const {
    return altLoc_ == '\0' || other.altLoc_ == '\0' || altLoc_ == other.altLoc_;
  }

 private:
  // Atomic number, colour, radii and mass from a row of the element table (not the symbol).
  void copyElement(const AtomDataRow& row);

  // The element's row of the element table, whose colour, radii and mass the atom has; null
  // until an element is looked up (colour, radii and mass then read 0).
  const AtomDataRow* element_ = nullptr;
  unsigned atomicNum_ = 1;
  char altLoc_ = '\0';  // alternate location letter, '\0' if not set
  double partialCharge_ = 0;
  double formalCharge_ = 0;
  std::string symbol_;         // element symbol as given ("Ca", "Fe", "C", or "CA" from a PDB file)
  std::string name_;           // atom name from the file ("CA", "OG1")
  std::string mol2type_;       // Tripos type ("C.ar", "N.pl3"), empty when untyped
  Residu* residue_ = nullptr;  // not owning
  Molecule* parent_ = nullptr;  // not owning
  PhysProp properties_;
  Coords fixed_;
  Coords rotated_;
  // The atom's node in the molecular graph: its numbers and, through its edges, its bonds.
  mutable Vertex vertex_;
};

}  // namespace VXMole
