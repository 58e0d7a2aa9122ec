// Member declarations of qel::Mesh: the brush selections, the operators on
// the current selection, and the brush deformers, smoothers and painters
// (mesh_brush_select.cpp, mesh_selection_ops.cpp, mesh_brush_deform.cpp,
// mesh_brush_paint.cpp). The body of class Mesh in mesh/mesh.h includes it
// once, in a public part; it is not a header to include anywhere else.

// The declarations keep the indentation of the class body they are part of.
// clang-format off
    // ---- Brush selections and the operators on the current selection
    //      (mesh_brush_select.cpp, mesh_selection_ops.cpp) ----
    // A brush step selects the vertices one stamp reaches, each with its
    // relative distance t from the centre (influences, or sectorInfluences
    // for a patch); an operator then writes one displacement per selection
    // index; the caller adds them (applyDisplacement), refreshes normals
    // (selectMarginal, calculateSelectedNormals) and ends with deselectAll.
    //
    // The brush falloff 1 - 3t^2 + 2t^3: 1 at the centre, 0 at the rim.
    static double falloff(double t) { return 1.0 - t * t * (3.0 - 2.0 * t); }
    // Active vertices strictly inside the sphere, over the whole mesh.
    void selectV(const vec3& centre, float radius, bool clear);
    // Vertices inside the closed sphere within the connected component
    // (selectVG) or the sharp-bounded patch (selectVG_, one sector record per
    // sector reaching a vertex) of the face; every face walked is selected.
    // A negative face is picked from the centre; with nothing to pick the
    // lists stay as they were. A face that is not active is refused the same
    // way. Expect an empty selection on entry (clear set).
    void selectVG(const vec3& centre, float radius, bool clear, int face);
    void selectVG_(const vec3& centre, float radius, bool clear, int face);
    // Every vertex record (active or not) listed with t 0 and its own index
    // as selection index; the selected bit is not set. selectAll also lists
    // every face index, setting no face selection bit.
    void selectAllV();
    void selectAll();
    // Selects the faces round the selected vertices and their other
    // vertices, so that calculateSelectedNormals refreshes every face that
    // touches a moved vertex.
    void selectMarginal();
    // The same with the fans of the selected vertices gathered (read when
    // they list exactly the selected vertices).
    void selectMarginal(const VertexFans& selected);
    // selectMarginal, calculateSelectedNormals and deselectAll, with the
    // faces of the margin kept in a scratch set instead of selected: the
    // same normals without writing selection bits into faces (a face is
    // selected when it is on selectedFaces). The fans are those of the
    // selected vertices (else they are gathered here).
    void refreshMarginAndDeselect();
    void refreshMarginAndDeselect(const VertexFans& selected);
    // fans.gather(*this, list, n); during the steps of a brush stroke the
    // fans its earlier steps gathered are copied instead of walked again.
    void gatherFans(VertexFans& fans, const std::int32_t* list, std::size_t n);
    // Adds each displacement to the vertex with the same selection index.
    void applyDisplacement();
    // Displacement writers: each first sizes displacements to the selected
    // vertices (new entries zero). _deform adds w(t) v per influence,
    // _deformG the same once per vertex of the sector records (from its
    // record of largest weight), _move v, _moveN s x offset; _scale and
    // _transform assign the movement of the vertex under the transform.
    void _deform(const vec3& v);
    void _deformG(const vec3& v);
    void _move(const vec3& v);
    void _moveN(float s);
    void _scale(const vec3& centre, float s);
    // Scaling by s along direction through centre, nothing across it.
    void _scale(const vec3& centre, const vec3& direction, float s);
    // M p / w' - p expected: callers pass their transform minus the identity
    // in rows 0-2, and the entry becomes the image of p divided by w'.
    void _transform(const mat4& m);
    // Every vertex record to M p / w' (kept where w' is 0); normals recomputed.
    void transform(const mat4& m);

    // ---- Brush deformers, smoothers and painters (mesh_brush_deform.cpp,
    //      mesh_brush_paint.cpp) ----
    // pinch, twist and deformVolume select round the centre and leave the
    // displacements for the caller to apply; the others apply them, refresh
    // the normals round the moved vertices and end with deselectAll.
    //
    // Each vertex moves by strength w(t) of its offset towards the centre
    // (a negative strength pushes it away).
    void pinch(const vec3& centre, float radius, float strength);
    // Turns the vertices by w(t) x angle about the line through the centre
    // along the (unit) axis.
    void twist(const vec3& centre, const vec3& axis, float angle, float radius);
    // The vertices within the radius of a move by w(t)(b - a): deform leaves
    // the displacements to the caller, deformG (the component) applies them.
    void deform(const vec3& a, const vec3& b, float radius);
    void deformG(const vec3& a, const vec3& b, float radius, int face);
    // Carries the ball round a along b - a by the divergence-free field of
    // fieldVolume times |b - a|: the volume keeps to first order.
    void deformVolume(const vec3& a, const vec3& b, float radius);
    // The field at offset d (relative distance t) in the frame e0, e1, e2
    // (e2 along the stroke) of a ball of radius R: zero, with zero slope, at
    // the rim.
    static vec3 fieldVolume(const vec3& d, float t, const vec3& e0, const vec3& e1, const vec3& e2, float R);
    // Half a step, weighted by w(t), towards each vertex's smoothed position
    // within the sphere over the mesh (smooth), the component (smoothG) or
    // the patch (smoothG_, without the margin). The second point is not read.
    void smooth(const vec3& centre, const vec3& other, float radius);
    void smoothG(const vec3& centre, const vec3& other, float radius, int face);
    void smoothG_(const vec3& centre, const vec3& other, float radius, int face);
    // Adds s w(t) (smoothed position - position) per influence (_smooth) or
    // per sector record (_smoothG), from the positions before the step.
    void _smooth(float s);
    // The same reading the fans gathered for the influence list (when they
    // list its vertices in order; else gathered here).
    void _smooth(float s, const VertexFans& fans);
    void _smoothG(float s);
    // Blends the masked channels of every sharp-bounded sector of each
    // influenced vertex towards the material by s (1 - t)^2, each sector
    // from its own corner material.
    void _material(const pbr& material, unsigned char mask, float s);
    // _material within the sphere over the mesh (material) or the component
    // (materialG); both end with deselectAll.
    void material(const vec3& centre, float radius, const pbr& P, unsigned char mask, float s);
    void materialG(const vec3& centre, float radius, int face, const pbr& P, unsigned char mask, float s);
    // The same within the patch of the face, on the sectors the patch
    // reaches; ends with deselectAll.
    void materialG_(const vec3& centre, float radius, int face, const pbr& material, unsigned char mask, float s);
    // Sets the masked channels of every corner of the component (materialF)
    // or the patch (materialF_) of the face; ends with deselectAll.
    void materialF(const vec3& point, int face, const pbr& material, unsigned char mask);
    void materialF_(const vec3& point, int face, const pbr& material, unsigned char mask);
    // Erases the patch of the face and compacts the mesh.
    void eraseF_(const vec3& point, int face);
// clang-format on
