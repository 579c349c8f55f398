#include "scene/scene.h"

GLUquadric* lunarQuadric = nullptr;
GLUquadric* earthQuadric = nullptr;

void setUpScene() {}
