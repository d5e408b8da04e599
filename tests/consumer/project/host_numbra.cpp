// A host that calls numbra routines only, no corvel symbol: linked with
// --as-needed, it does not list libcorvel itself, so it starts only when the
// installed libnumbra finds libcorvel on its own.
#include <ORK_statis.h>

#include <iostream>

int main() {
  if (numbra::BinomCoeff(10, 3) != 120 || numbra::Erf(0.0) != 0.0) return 1;
  std::cout << "numbra-only host ok\n";
  return 0;
}
