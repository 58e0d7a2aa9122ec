layout(location = 0) in vec3 position0;
out vec3 position1;
uniform int count;
uniform vec3 center[20];
