uniform sampler2D OldDepth;
uniform vec2 WH;
uniform vec2 Center;
