// PhysProp: the pharmacophoric property flags of an atom (aromatic, acceptor, donor, ...).
#pragma once

#include <string>

namespace VXMole {

// Sixteen one-byte flags, each 0 (clear) or 1 (set), in a fixed order. A plain, trivially
// copyable value: atoms copy it whole.
class PhysProp {
 public:
  unsigned char aromatic = 0;
  unsigned char acceptor = 0;  // hydrogen-bond acceptor
  unsigned char donor = 0;     // hydrogen-bond donor
  unsigned char cation = 0;    // "PLUS" in the MOL2 type table
  unsigned char anion = 0;     // "MOINS" in the MOL2 type table
  unsigned char hydrophobic = 0;
  unsigned char metal = 0;
  unsigned char noProperty = 0;  // typed as carrying no property; never printed
  unsigned char inRing = 0;
  unsigned char reserved[7] = {};  // kept clear; never printed

  // Clears all sixteen flags.
  void clear();

  // The set flags as "Hydrophobic|Aromatic|Acceptor|Donor|Cation|Anion|Metal|In Ring|", in that
  // order, each followed by '|'; "" when none of these is set.
  std::string toString() const;
};

}  // namespace VXMole
