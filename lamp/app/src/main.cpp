#include "app/lamp_app.h"

int main(int argc, char** argv) {
  lamp::LampApp app(argc, argv);
  return app.Run();
}
