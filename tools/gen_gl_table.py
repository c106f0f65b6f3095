#!/usr/bin/env python3
"""Generates src/core/gl_header_table.cpp, the compiler's built-in table of
OpenGL, WGL and GLU constants.

The table is one string of entries ";NAME=value" closed by ";".  The names and
their order are fixed below; the values are read from the Windows OpenGL
headers (GL/gl.h, GL/glu.h and wingdi.h of the MinGW-w64 include tree).

Value formats:
  - the 21 attribute-mask bits GL_CURRENT_BIT .. GL_ALL_ATTRIB_BITS: "$" and
    eight hex digits (GL_ALL_ATTRIB_BITS is written $000fffff);
  - GL_FALSE, GL_TRUE, GL_ZERO, GL_ONE, GL_NONE, GL_NO_ERROR,
    GL_EXT_vertex_array, GL_WIN_swap_hint and the WGL entries: decimal;
  - every other GL entry: "$" and four upper-case hex digits;
  - GLU entries: decimal, except GLU_TESS_MAX_COORD (1.0e150) and the six
    tessellator error aliases, whose value is the name they alias.

Usage: tools/gen_gl_table.py [--include DIR] [--output FILE]
"""

import argparse
import os
import re
import sys

GL_NAMES = [
    'GL_CURRENT_BIT', 'GL_POINT_BIT', 'GL_LINE_BIT', 'GL_POLYGON_BIT',
    'GL_POLYGON_STIPPLE_BIT', 'GL_PIXEL_MODE_BIT', 'GL_LIGHTING_BIT',
    'GL_FOG_BIT', 'GL_DEPTH_BUFFER_BIT', 'GL_ACCUM_BUFFER_BIT',
    'GL_STENCIL_BUFFER_BIT', 'GL_VIEWPORT_BIT', 'GL_TRANSFORM_BIT',
    'GL_ENABLE_BIT', 'GL_COLOR_BUFFER_BIT', 'GL_HINT_BIT', 'GL_EVAL_BIT',
    'GL_LIST_BIT', 'GL_TEXTURE_BIT', 'GL_SCISSOR_BIT', 'GL_ALL_ATTRIB_BITS',
    'GL_FALSE', 'GL_TRUE', 'GL_POINTS', 'GL_LINES', 'GL_LINE_LOOP',
    'GL_LINE_STRIP', 'GL_TRIANGLES', 'GL_TRIANGLE_STRIP', 'GL_TRIANGLE_FAN',
    'GL_QUADS', 'GL_QUAD_STRIP', 'GL_POLYGON', 'GL_ACCUM', 'GL_LOAD',
    'GL_RETURN', 'GL_MULT', 'GL_ADD', 'GL_NEVER', 'GL_LESS', 'GL_EQUAL',
    'GL_LEQUAL', 'GL_GREATER', 'GL_NOTEQUAL', 'GL_GEQUAL', 'GL_ALWAYS',
    'GL_ZERO', 'GL_ONE', 'GL_SRC_COLOR', 'GL_ONE_MINUS_SRC_COLOR',
    'GL_SRC_ALPHA', 'GL_ONE_MINUS_SRC_ALPHA', 'GL_DST_ALPHA',
    'GL_ONE_MINUS_DST_ALPHA', 'GL_DST_COLOR', 'GL_ONE_MINUS_DST_COLOR',
    'GL_SRC_ALPHA_SATURATE', 'GL_NONE', 'GL_FRONT_LEFT', 'GL_FRONT_RIGHT',
    'GL_BACK_LEFT', 'GL_BACK_RIGHT', 'GL_FRONT', 'GL_BACK', 'GL_LEFT',
    'GL_RIGHT', 'GL_FRONT_AND_BACK', 'GL_AUX0', 'GL_AUX1', 'GL_AUX2',
    'GL_AUX3', 'GL_NO_ERROR', 'GL_INVALID_ENUM', 'GL_INVALID_VALUE',
    'GL_INVALID_OPERATION', 'GL_STACK_OVERFLOW', 'GL_STACK_UNDERFLOW',
    'GL_OUT_OF_MEMORY', 'GL_2D', 'GL_3D', 'GL_3D_COLOR', 'GL_3D_COLOR_TEXTURE',
    'GL_4D_COLOR_TEXTURE', 'GL_PASS_THROUGH_TOKEN', 'GL_POINT_TOKEN',
    'GL_LINE_TOKEN', 'GL_POLYGON_TOKEN', 'GL_BITMAP_TOKEN',
    'GL_DRAW_PIXEL_TOKEN', 'GL_COPY_PIXEL_TOKEN', 'GL_LINE_RESET_TOKEN',
    'GL_EXP', 'GL_EXP2', 'GL_CW', 'GL_CCW', 'GL_COEFF', 'GL_ORDER',
    'GL_DOMAIN', 'GL_PIXEL_MAP_I_TO_I', 'GL_PIXEL_MAP_S_TO_S',
    'GL_PIXEL_MAP_I_TO_R', 'GL_PIXEL_MAP_I_TO_G', 'GL_PIXEL_MAP_I_TO_B',
    'GL_PIXEL_MAP_I_TO_A', 'GL_PIXEL_MAP_R_TO_R', 'GL_PIXEL_MAP_G_TO_G',
    'GL_PIXEL_MAP_B_TO_B', 'GL_PIXEL_MAP_A_TO_A', 'GL_CURRENT_COLOR',
    'GL_CURRENT_INDEX', 'GL_CURRENT_NORMAL', 'GL_CURRENT_TEXTURE_COORDS',
    'GL_CURRENT_RASTER_COLOR', 'GL_CURRENT_RASTER_INDEX',
    'GL_CURRENT_RASTER_TEXTURE_COORDS', 'GL_CURRENT_RASTER_POSITION',
    'GL_CURRENT_RASTER_POSITION_VALID', 'GL_CURRENT_RASTER_DISTANCE',
    'GL_POINT_SMOOTH', 'GL_POINT_SIZE', 'GL_POINT_SIZE_RANGE',
    'GL_POINT_SIZE_GRANULARITY', 'GL_LINE_SMOOTH', 'GL_LINE_WIDTH',
    'GL_LINE_WIDTH_RANGE', 'GL_LINE_WIDTH_GRANULARITY', 'GL_LINE_STIPPLE',
    'GL_LINE_STIPPLE_PATTERN', 'GL_LINE_STIPPLE_REPEAT', 'GL_LIST_MODE',
    'GL_MAX_LIST_NESTING', 'GL_LIST_BASE', 'GL_LIST_INDEX', 'GL_POLYGON_MODE',
    'GL_POLYGON_SMOOTH', 'GL_POLYGON_STIPPLE', 'GL_EDGE_FLAG', 'GL_CULL_FACE',
    'GL_CULL_FACE_MODE', 'GL_FRONT_FACE', 'GL_LIGHTING',
    'GL_LIGHT_MODEL_LOCAL_VIEWER', 'GL_LIGHT_MODEL_TWO_SIDE',
    'GL_LIGHT_MODEL_AMBIENT', 'GL_SHADE_MODEL', 'GL_COLOR_MATERIAL_FACE',
    'GL_COLOR_MATERIAL_PARAMETER', 'GL_COLOR_MATERIAL', 'GL_FOG',
    'GL_FOG_INDEX', 'GL_FOG_DENSITY', 'GL_FOG_START', 'GL_FOG_END',
    'GL_FOG_MODE', 'GL_FOG_COLOR', 'GL_DEPTH_RANGE', 'GL_DEPTH_TEST',
    'GL_DEPTH_WRITEMASK', 'GL_DEPTH_CLEAR_VALUE', 'GL_DEPTH_FUNC',
    'GL_ACCUM_CLEAR_VALUE', 'GL_STENCIL_TEST', 'GL_STENCIL_CLEAR_VALUE',
    'GL_STENCIL_FUNC', 'GL_STENCIL_VALUE_MASK', 'GL_STENCIL_FAIL',
    'GL_STENCIL_PASS_DEPTH_FAIL', 'GL_STENCIL_PASS_DEPTH_PASS',
    'GL_STENCIL_REF', 'GL_STENCIL_WRITEMASK', 'GL_MATRIX_MODE', 'GL_NORMALIZE',
    'GL_VIEWPORT', 'GL_MODELVIEW_STACK_DEPTH', 'GL_PROJECTION_STACK_DEPTH',
    'GL_TEXTURE_STACK_DEPTH', 'GL_MODELVIEW_MATRIX', 'GL_PROJECTION_MATRIX',
    'GL_TEXTURE_MATRIX', 'GL_ATTRIB_STACK_DEPTH', 'GL_ALPHA_TEST',
    'GL_ALPHA_TEST_FUNC', 'GL_ALPHA_TEST_REF', 'GL_DITHER', 'GL_BLEND_DST',
    'GL_BLEND_SRC', 'GL_BLEND', 'GL_LOGIC_OP_MODE', 'GL_LOGIC_OP',
    'GL_AUX_BUFFERS', 'GL_DRAW_BUFFER', 'GL_READ_BUFFER', 'GL_SCISSOR_BOX',
    'GL_SCISSOR_TEST', 'GL_INDEX_CLEAR_VALUE', 'GL_INDEX_WRITEMASK',
    'GL_COLOR_CLEAR_VALUE', 'GL_COLOR_WRITEMASK', 'GL_INDEX_MODE',
    'GL_RGBA_MODE', 'GL_DOUBLEBUFFER', 'GL_STEREO', 'GL_RENDER_MODE',
    'GL_PERSPECTIVE_CORRECTION_HINT', 'GL_POINT_SMOOTH_HINT',
    'GL_LINE_SMOOTH_HINT', 'GL_POLYGON_SMOOTH_HINT', 'GL_FOG_HINT',
    'GL_TEXTURE_GEN_S', 'GL_TEXTURE_GEN_T', 'GL_TEXTURE_GEN_R',
    'GL_TEXTURE_GEN_Q', 'GL_PIXEL_MAP_I_TO_I_SIZE', 'GL_PIXEL_MAP_S_TO_S_SIZE',
    'GL_PIXEL_MAP_I_TO_R_SIZE', 'GL_PIXEL_MAP_I_TO_G_SIZE',
    'GL_PIXEL_MAP_I_TO_B_SIZE', 'GL_PIXEL_MAP_I_TO_A_SIZE',
    'GL_PIXEL_MAP_R_TO_R_SIZE', 'GL_PIXEL_MAP_G_TO_G_SIZE',
    'GL_PIXEL_MAP_B_TO_B_SIZE', 'GL_PIXEL_MAP_A_TO_A_SIZE',
    'GL_UNPACK_SWAP_BYTES', 'GL_UNPACK_LSB_FIRST', 'GL_UNPACK_ROW_LENGTH',
    'GL_UNPACK_SKIP_ROWS', 'GL_UNPACK_SKIP_PIXELS', 'GL_UNPACK_ALIGNMENT',
    'GL_PACK_SWAP_BYTES', 'GL_PACK_LSB_FIRST', 'GL_PACK_ROW_LENGTH',
    'GL_PACK_SKIP_ROWS', 'GL_PACK_SKIP_PIXELS', 'GL_PACK_ALIGNMENT',
    'GL_MAP_COLOR', 'GL_MAP_STENCIL', 'GL_INDEX_SHIFT', 'GL_INDEX_OFFSET',
    'GL_RED_SCALE', 'GL_RED_BIAS', 'GL_ZOOM_X', 'GL_ZOOM_Y', 'GL_GREEN_SCALE',
    'GL_GREEN_BIAS', 'GL_BLUE_SCALE', 'GL_BLUE_BIAS', 'GL_ALPHA_SCALE',
    'GL_ALPHA_BIAS', 'GL_DEPTH_SCALE', 'GL_DEPTH_BIAS', 'GL_MAX_EVAL_ORDER',
    'GL_MAX_LIGHTS', 'GL_MAX_CLIP_PLANES', 'GL_MAX_TEXTURE_SIZE',
    'GL_MAX_PIXEL_MAP_TABLE', 'GL_MAX_ATTRIB_STACK_DEPTH',
    'GL_MAX_MODELVIEW_STACK_DEPTH', 'GL_MAX_NAME_STACK_DEPTH',
    'GL_MAX_PROJECTION_STACK_DEPTH', 'GL_MAX_TEXTURE_STACK_DEPTH',
    'GL_MAX_VIEWPORT_DIMS', 'GL_SUBPIXEL_BITS', 'GL_INDEX_BITS', 'GL_RED_BITS',
    'GL_GREEN_BITS', 'GL_BLUE_BITS', 'GL_ALPHA_BITS', 'GL_DEPTH_BITS',
    'GL_STENCIL_BITS', 'GL_ACCUM_RED_BITS', 'GL_ACCUM_GREEN_BITS',
    'GL_ACCUM_BLUE_BITS', 'GL_ACCUM_ALPHA_BITS', 'GL_NAME_STACK_DEPTH',
    'GL_AUTO_NORMAL', 'GL_MAP1_COLOR_4', 'GL_MAP1_INDEX', 'GL_MAP1_NORMAL',
    'GL_MAP1_TEXTURE_COORD_1', 'GL_MAP1_TEXTURE_COORD_2',
    'GL_MAP1_TEXTURE_COORD_3', 'GL_MAP1_TEXTURE_COORD_4', 'GL_MAP1_VERTEX_3',
    'GL_MAP1_VERTEX_4', 'GL_MAP2_COLOR_4', 'GL_MAP2_INDEX', 'GL_MAP2_NORMAL',
    'GL_MAP2_TEXTURE_COORD_1', 'GL_MAP2_TEXTURE_COORD_2',
    'GL_MAP2_TEXTURE_COORD_3', 'GL_MAP2_TEXTURE_COORD_4', 'GL_MAP2_VERTEX_3',
    'GL_MAP2_VERTEX_4', 'GL_MAP1_GRID_DOMAIN', 'GL_MAP1_GRID_SEGMENTS',
    'GL_MAP2_GRID_DOMAIN', 'GL_MAP2_GRID_SEGMENTS', 'GL_TEXTURE_1D',
    'GL_TEXTURE_2D', 'GL_TEXTURE_WIDTH', 'GL_TEXTURE_HEIGHT',
    'GL_TEXTURE_COMPONENTS', 'GL_TEXTURE_BORDER_COLOR', 'GL_TEXTURE_BORDER',
    'GL_DONT_CARE', 'GL_FASTEST', 'GL_NICEST', 'GL_AMBIENT', 'GL_DIFFUSE',
    'GL_SPECULAR', 'GL_POSITION', 'GL_SPOT_DIRECTION', 'GL_SPOT_EXPONENT',
    'GL_SPOT_CUTOFF', 'GL_CONSTANT_ATTENUATION', 'GL_LINEAR_ATTENUATION',
    'GL_QUADRATIC_ATTENUATION', 'GL_COMPILE', 'GL_COMPILE_AND_EXECUTE',
    'GL_BYTE', 'GL_UNSIGNED_BYTE', 'GL_SHORT', 'GL_UNSIGNED_SHORT', 'GL_INT',
    'GL_UNSIGNED_INT', 'GL_FLOAT', 'GL_2_BYTES', 'GL_3_BYTES', 'GL_4_BYTES',
    'GL_DOUBLE', 'GL_CLEAR', 'GL_AND', 'GL_AND_REVERSE', 'GL_COPY',
    'GL_AND_INVERTED', 'GL_NOOP', 'GL_XOR', 'GL_OR', 'GL_NOR', 'GL_EQUIV',
    'GL_INVERT', 'GL_OR_REVERSE', 'GL_COPY_INVERTED', 'GL_OR_INVERTED',
    'GL_NAND', 'GL_SET', 'GL_EMISSION', 'GL_SHININESS',
    'GL_AMBIENT_AND_DIFFUSE', 'GL_COLOR_INDEXES', 'GL_MODELVIEW',
    'GL_PROJECTION', 'GL_TEXTURE', 'GL_COLOR', 'GL_DEPTH', 'GL_STENCIL',
    'GL_COLOR_INDEX', 'GL_STENCIL_INDEX', 'GL_DEPTH_COMPONENT', 'GL_RED',
    'GL_GREEN', 'GL_BLUE', 'GL_ALPHA', 'GL_RGB', 'GL_RGBA', 'GL_LUMINANCE',
    'GL_LUMINANCE_ALPHA', 'GL_BGR', 'GL_BGRA', 'GL_BITMAP', 'GL_POINT',
    'GL_LINE', 'GL_FILL', 'GL_RENDER', 'GL_FEEDBACK', 'GL_SELECT', 'GL_FLAT',
    'GL_SMOOTH', 'GL_KEEP', 'GL_REPLACE', 'GL_INCR', 'GL_DECR', 'GL_VENDOR',
    'GL_RENDERER', 'GL_VERSION', 'GL_EXTENSIONS', 'GL_S', 'GL_T', 'GL_R',
    'GL_Q', 'GL_MODULATE', 'GL_DECAL', 'GL_TEXTURE_ENV_MODE',
    'GL_TEXTURE_ENV_COLOR', 'GL_TEXTURE_ENV', 'GL_EYE_LINEAR',
    'GL_OBJECT_LINEAR', 'GL_SPHERE_MAP', 'GL_TEXTURE_GEN_MODE',
    'GL_OBJECT_PLANE', 'GL_EYE_PLANE', 'GL_NEAREST', 'GL_LINEAR',
    'GL_NEAREST_MIPMAP_NEAREST', 'GL_LINEAR_MIPMAP_NEAREST',
    'GL_NEAREST_MIPMAP_LINEAR', 'GL_LINEAR_MIPMAP_LINEAR',
    'GL_TEXTURE_MAG_FILTER', 'GL_TEXTURE_MIN_FILTER', 'GL_TEXTURE_WRAP_S',
    'GL_TEXTURE_WRAP_T', 'GL_CLAMP', 'GL_REPEAT', 'GL_CLIP_PLANE0',
    'GL_CLIP_PLANE1', 'GL_CLIP_PLANE2', 'GL_CLIP_PLANE3', 'GL_CLIP_PLANE4',
    'GL_CLIP_PLANE5', 'GL_LIGHT0', 'GL_LIGHT1', 'GL_LIGHT2', 'GL_LIGHT3',
    'GL_LIGHT4', 'GL_LIGHT5', 'GL_LIGHT6', 'GL_LIGHT7', 'GL_EXT_vertex_array',
    'GL_WIN_swap_hint', 'GL_VERTEX_ARRAY_EXT', 'GL_NORMAL_ARRAY_EXT',
    'GL_COLOR_ARRAY_EXT', 'GL_INDEX_ARRAY_EXT', 'GL_TEXTURE_COORD_ARRAY_EXT',
    'GL_EDGE_FLAG_ARRAY_EXT', 'GL_VERTEX_ARRAY', 'GL_NORMAL_ARRAY',
    'GL_COLOR_ARRAY', 'GL_INDEX_ARRAY', 'GL_TEXTURE_COORD_ARRAY',
    'GL_EDGE_FLAG_ARRAY', 'GL_VERTEX_ARRAY_SIZE_EXT',
    'GL_VERTEX_ARRAY_TYPE_EXT', 'GL_VERTEX_ARRAY_STRIDE_EXT',
    'GL_VERTEX_ARRAY_COUNT_EXT', 'GL_NORMAL_ARRAY_TYPE_EXT',
    'GL_NORMAL_ARRAY_STRIDE_EXT', 'GL_NORMAL_ARRAY_COUNT_EXT',
    'GL_COLOR_ARRAY_SIZE_EXT', 'GL_COLOR_ARRAY_TYPE_EXT',
    'GL_COLOR_ARRAY_STRIDE_EXT', 'GL_COLOR_ARRAY_COUNT_EXT',
    'GL_INDEX_ARRAY_TYPE_EXT', 'GL_INDEX_ARRAY_STRIDE_EXT',
    'GL_INDEX_ARRAY_COUNT_EXT', 'GL_TEXTURE_COORD_ARRAY_SIZE_EXT',
    'GL_TEXTURE_COORD_ARRAY_TYPE_EXT', 'GL_TEXTURE_COORD_ARRAY_STRIDE_EXT',
    'GL_TEXTURE_COORD_ARRAY_COUNT_EXT', 'GL_EDGE_FLAG_ARRAY_STRIDE_EXT',
    'GL_EDGE_FLAG_ARRAY_COUNT_EXT', 'GL_VERTEX_ARRAY_POINTER_EXT',
    'GL_NORMAL_ARRAY_POINTER_EXT', 'GL_COLOR_ARRAY_POINTER_EXT',
    'GL_INDEX_ARRAY_POINTER_EXT', 'GL_TEXTURE_COORD_ARRAY_POINTER_EXT',
    'GL_EDGE_FLAG_ARRAY_POINTER_EXT',
]

WGL_NAMES = [
    'WGL_FONT_LINES', 'WGL_FONT_POLYGONS',
]

GLU_NAMES = [
    'GLU_VERSION_1_1', 'GLU_INVALID_ENUM', 'GLU_INVALID_VALUE',
    'GLU_OUT_OF_MEMORY', 'GLU_INCOMPATIBLE_GL_VERSION', 'GLU_VERSION',
    'GLU_EXTENSIONS', 'GLU_TRUE', 'GLU_FALSE', 'GLU_SMOOTH', 'GLU_FLAT',
    'GLU_NONE', 'GLU_POINT', 'GLU_LINE', 'GLU_FILL', 'GLU_SILHOUETTE',
    'GLU_OUTSIDE', 'GLU_INSIDE', 'GLU_TESS_MAX_COORD', 'GLU_TESS_WINDING_RULE',
    'GLU_TESS_BOUNDARY_ONLY', 'GLU_TESS_TOLERANCE', 'GLU_TESS_WINDING_ODD',
    'GLU_TESS_WINDING_NONZERO', 'GLU_TESS_WINDING_POSITIVE',
    'GLU_TESS_WINDING_NEGATIVE', 'GLU_TESS_WINDING_ABS_GEQ_TWO',
    'GLU_TESS_ERROR1', 'GLU_TESS_ERROR2', 'GLU_TESS_ERROR3', 'GLU_TESS_ERROR4',
    'GLU_TESS_ERROR5', 'GLU_TESS_ERROR6', 'GLU_TESS_ERROR7', 'GLU_TESS_ERROR8',
    'GLU_TESS_MISSING_BEGIN_POLYGON', 'GLU_TESS_MISSING_BEGIN_CONTOUR',
    'GLU_TESS_MISSING_END_POLYGON', 'GLU_TESS_MISSING_END_CONTOUR',
    'GLU_TESS_COORD_TOO_LARGE', 'GLU_TESS_NEED_COMBINE_CALLBACK',
    'GLU_AUTO_LOAD_MATRIX', 'GLU_CULLING', 'GLU_SAMPLING_TOLERANCE',
    'GLU_DISPLAY_MODE', 'GLU_PARAMETRIC_TOLERANCE', 'GLU_SAMPLING_METHOD',
    'GLU_U_STEP', 'GLU_V_STEP', 'GLU_PATH_LENGTH', 'GLU_PARAMETRIC_ERROR',
    'GLU_DOMAIN_DISTANCE', 'GLU_MAP1_TRIM_2', 'GLU_MAP1_TRIM_3',
    'GLU_OUTLINE_POLYGON', 'GLU_OUTLINE_PATCH', 'GLU_NURBS_ERROR1',
    'GLU_NURBS_ERROR2', 'GLU_NURBS_ERROR3', 'GLU_NURBS_ERROR4',
    'GLU_NURBS_ERROR5', 'GLU_NURBS_ERROR6', 'GLU_NURBS_ERROR7',
    'GLU_NURBS_ERROR8', 'GLU_NURBS_ERROR9', 'GLU_NURBS_ERROR10',
    'GLU_NURBS_ERROR11', 'GLU_NURBS_ERROR12', 'GLU_NURBS_ERROR13',
    'GLU_NURBS_ERROR14', 'GLU_NURBS_ERROR15', 'GLU_NURBS_ERROR16',
    'GLU_NURBS_ERROR17', 'GLU_NURBS_ERROR18', 'GLU_NURBS_ERROR19',
    'GLU_NURBS_ERROR20', 'GLU_NURBS_ERROR21', 'GLU_NURBS_ERROR22',
    'GLU_NURBS_ERROR23', 'GLU_NURBS_ERROR24', 'GLU_NURBS_ERROR25',
    'GLU_NURBS_ERROR26', 'GLU_NURBS_ERROR27', 'GLU_NURBS_ERROR28',
    'GLU_NURBS_ERROR29', 'GLU_NURBS_ERROR30', 'GLU_NURBS_ERROR31',
    'GLU_NURBS_ERROR32', 'GLU_NURBS_ERROR33', 'GLU_NURBS_ERROR34',
    'GLU_NURBS_ERROR35', 'GLU_NURBS_ERROR36', 'GLU_NURBS_ERROR37',
]

# Entries written as decimal numbers although they belong to the GL group.
GL_DECIMAL = {
    'GL_FALSE', 'GL_TRUE', 'GL_ZERO', 'GL_ONE', 'GL_NONE', 'GL_NO_ERROR',
    'GL_EXT_vertex_array', 'GL_WIN_swap_hint',
}

# Entries whose value is the name of another entry, kept as text.
GLU_ALIASES = {
    'GLU_TESS_MISSING_BEGIN_POLYGON': 'GLU_TESS_ERROR1',
    'GLU_TESS_MISSING_BEGIN_CONTOUR': 'GLU_TESS_ERROR2',
    'GLU_TESS_MISSING_END_POLYGON': 'GLU_TESS_ERROR3',
    'GLU_TESS_MISSING_END_CONTOUR': 'GLU_TESS_ERROR4',
    'GLU_TESS_COORD_TOO_LARGE': 'GLU_TESS_ERROR5',
    'GLU_TESS_NEED_COMBINE_CALLBACK': 'GLU_TESS_ERROR6',
}

# Names some header sets spell only with the _EXT suffix.
FALLBACK_NAMES = {
    'GL_BGR': 'GL_BGR_EXT',
    'GL_BGRA': 'GL_BGRA_EXT',
}

# Written literally: the table keeps the headers' lower-case spelling here.
LITERAL_VALUES = {
    'GL_ALL_ATTRIB_BITS': '$000fffff',
    'GLU_TESS_MAX_COORD': '1.0e150',
}

DEFINE_RE = re.compile(r'^\s*#\s*define\s+([A-Za-z_][A-Za-z0-9_]*)\s+(\S+)')
DEFAULT_INCLUDES = ['/usr/share/mingw-w64/include', '/usr/i686-w64-mingw32/include']
HEADERS = ['GL/gl.h', 'GL/glu.h', 'wingdi.h']


def read_defines(include_dir):
    defines = {}
    for rel in HEADERS:
        path = os.path.join(include_dir, rel)
        with open(path, encoding='latin-1') as f:
            for line in f:
                m = DEFINE_RE.match(line)
                if m and m.group(1) not in defines:
                    defines[m.group(1)] = m.group(2)
    return defines


def resolve(name, defines, depth=0):
    """Integer value of a macro, following macro-to-macro definitions."""
    if depth > 8:
        raise ValueError('alias loop at ' + name)
    text = defines.get(name)
    if text is None:
        if name in FALLBACK_NAMES:
            return resolve(FALLBACK_NAMES[name], defines, depth + 1)
        raise KeyError(name)
    text = text.rstrip('uUlL')
    if re.fullmatch(r'0[xX][0-9A-Fa-f]+', text):
        return int(text, 16)
    if re.fullmatch(r'[0-9]+', text):
        return int(text, 10)
    if re.fullmatch(r'[A-Za-z_][A-Za-z0-9_]*', text):
        return resolve(text, defines, depth + 1)
    raise ValueError('%s: cannot evaluate %r' % (name, text))


def build_entries(defines):
    entries = []
    for i, name in enumerate(GL_NAMES):
        if name in LITERAL_VALUES:
            value = LITERAL_VALUES[name]
        elif i < 21:
            value = '$%08X' % resolve(name, defines)
        elif name in GL_DECIMAL:
            value = str(resolve(name, defines))
        else:
            v = resolve(name, defines)
            if v > 0xFFFF:
                raise ValueError('%s does not fit four hex digits' % name)
            value = '$%04X' % v
        entries.append((name, value))
    for name in WGL_NAMES:
        entries.append((name, str(resolve(name, defines))))
    for name in GLU_NAMES:
        if name in LITERAL_VALUES:
            value = LITERAL_VALUES[name]
        elif name in GLU_ALIASES:
            value = GLU_ALIASES[name]
            if defines.get(name) not in (None, value):
                # The header spells it as a number; the alias must agree.
                if resolve(name, defines) != resolve(value, defines):
                    raise ValueError('%s disagrees with %s' % (name, value))
        else:
            value = str(resolve(name, defines))
        entries.append((name, value))
    return entries


def render(entries):
    out = []
    out.append('// Generated by tools/gen_gl_table.py from the OpenGL, GLU and wingdi headers.')
    out.append('// Do not edit by hand; rerun the generator instead.')
    out.append('#include "core/gl_header_table.h"')
    out.append('')
    out.append('namespace korv {')
    out.append('')
    out.append('namespace {')
    out.append('')
    out.append('constexpr char kGlHeaderTable[] =')
    out.append('    ";"')
    for name, value in entries:
        out.append('    "%s=%s;"' % (name, value))
    out[-1] += ';'
    out.append('')
    out.append('}  // namespace')
    out.append('')
    out.append('const std::string& GlHeaderTable() {')
    out.append('  static const std::string table(kGlHeaderTable, sizeof(kGlHeaderTable) - 1);')
    out.append('  return table;')
    out.append('}')
    out.append('')
    out.append('int GlHeaderEntryCount() { return %d; }' % len(entries))
    out.append('')
    out.append('}  // namespace korv')
    return '\n'.join(out) + '\n'


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--include', help='include directory holding GL/gl.h, GL/glu.h and wingdi.h')
    ap.add_argument('--output', default=os.path.join(here, '..', 'src', 'core', 'gl_header_table.cpp'))
    args = ap.parse_args()

    include_dir = args.include
    if include_dir is None:
        for candidate in DEFAULT_INCLUDES:
            if all(os.path.exists(os.path.join(candidate, h)) for h in HEADERS):
                include_dir = candidate
                break
    if include_dir is None:
        sys.exit('gen_gl_table: no MinGW-w64 include directory found; pass --include')

    names = GL_NAMES + WGL_NAMES + GLU_NAMES
    if len(names) != 562 or len(set(names)) != len(names):
        sys.exit('gen_gl_table: the name list must hold 562 distinct names')

    entries = build_entries(read_defines(include_dir))
    with open(args.output, 'w', newline='\n') as f:
        f.write(render(entries))
    print('gen_gl_table: %d entries written to %s' % (len(entries), os.path.normpath(args.output)))


if __name__ == '__main__':
    main()
