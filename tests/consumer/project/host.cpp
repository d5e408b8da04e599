// A host program built against the installed numbra package.
#include <numbra.h>

#include <iostream>

int main() {
  using namespace numbra;
  TComponent owner;
  auto* v = new TVector(&owner);  // freed by its owner
  v->SetName("V");
  v->Resize(3);
  v->SetVal(1, 3.0);
  v->SetVal(2, 4.0);
  if (v->CalcVecLeng() != 5.0 || v->CRCofData().size() != 64) return 1;
  try {
    TVector a;
    a.SetVecLeng(1.0);
    return 1;
  } catch (const EORKVectorError& e) {
    if (std::string(e.what()) != "vector has zero length") return 1;
  }
  std::cout << "numbra host ok\n";
  return 0;
}
