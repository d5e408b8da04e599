// A first host program: a vector with an owner, a change handler, its length,
// checksum and text file.
#include <numbra.h>

#include <iostream>

int main() {
  using namespace numbra;
  TComponent owner;  // frees what it owns
  auto* v = new TVector(&owner);
  v->SetName("Signal");
  v->Resize(3);
  int changes = 0;
  v->OnChange = [&](TObject*) { ++changes; };
  v->SetVal(1, 3.0);
  v->SetVal(2, 4.0);
  std::cout << v->CalcVecLeng() << " " << changes << "\n";  // 5 2
  std::cout << v->CRCofData() << "\n";
  return v->StoreOnFile(1, 3, -2, "signal.vec") ? 0 : 1;
}
