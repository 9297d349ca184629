// PhysProp: clearing and printing the pharmacophoric property flags.
#include "physprop.h"

#include <type_traits>

namespace VXMole {

static_assert(std::is_trivially_copyable<PhysProp>::value, "PhysProp is copied as plain bytes");
static_assert(sizeof(PhysProp) == 16, "PhysProp holds sixteen one-byte flags");

void PhysProp::clear() {
  *this = PhysProp();
}

std::string PhysProp::toString() const {
  std::string text;
  if (hydrophobic) text += "Hydrophobic|";
  if (aromatic) text += "Aromatic|";
  if (acceptor) text += "Acceptor|";
  if (donor) text += "Donor|";
  if (cation) text += "Cation|";
  if (anion) text += "Anion|";
  if (metal) text += "Metal|";
  if (inRing) text += "In Ring|";
  return text;
}

}  // namespace VXMole
