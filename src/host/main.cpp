#include "host/host.h"

int main(int argc, char** argv) {
  return KavroMain(argc, argv);
}
