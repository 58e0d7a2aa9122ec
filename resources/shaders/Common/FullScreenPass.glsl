##VERTEX
#version 330 core
#include "Common/FullScreenQuad.glsl"
##FRAGMENT
#version 330 core
