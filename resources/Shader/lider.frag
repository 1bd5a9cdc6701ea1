#version 410

in vec3 frag_color;
in vec2 tex_coord;

uniform sampler2D text;
uniform int vertex_type;
uniform int color_type;

out vec4 out_color;

void main()
{
    if (vertex_type == 1)
        out_color = vec4(frag_color, 1.0) * vec4(1.0, 1.0, 1.0, texture(text, tex_coord).r);
    else
        out_color = vec4(frag_color, 1.0);
}
