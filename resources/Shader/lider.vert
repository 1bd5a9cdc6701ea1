#version 410

layout(location = 0) in vec4 pt_vertex;
layout(location = 1) in vec3 pt_color;
layout(location = 2) in vec4 text_vertex;
in vec4 posAttr;
in vec4 colAttr;

uniform mat4 matrix;
uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;
uniform vec3 vertexColor;
uniform bool flag;
uniform int vertex_type;

out vec3 frag_color;
out vec2 tex_coord;

void main()
{
    vec4 position = vertex_type == 1 ? vec4(text_vertex.xy, 0.0, 1.0) : pt_vertex;
    gl_Position = projection * view * model * position;
    tex_coord = text_vertex.zw;
    frag_color = flag ? vertexColor : pt_color;
}
