// Member declarations of qel::GLView: the private steps of the input state
// machine behind setState, mouseDown, mouseMove and mouseUp: the keys and
// what they finish (glview_state.cpp, glview_drawing.cpp,
// glview_commands.cpp), the button press (glview_press.cpp), the drag
// (glview_drag.cpp), the release (glview_release.cpp) and the release steps
// of the assembly actions (glview_release_place.cpp,
// glview_release_change.cpp). The body of class GLView in view/glview.h
// includes it once, in a private part; it is not a header to include
// anywhere else.

// The declarations keep the indentation of the class body they are part of.
// clang-format off
    // ---- The key half of the input state machine (glview_state.cpp) ----
    // The selected assembly and sculpt actions, scope and property become the
    // effective ones again.
    void restoreSelectedActions();
    // A drawing is under way in assembly mode with the left button held
    // (leftHeld) or up.
    bool drawingKeysApply(bool leftHeld) const;
    void escapeKey();
    // Escape in a copying drag: the copy record undone and dropped.
    void dropCopyRecord();
    void backspaceKey();
    // Shift, Alt or Control give the newest drawn point its segment kind.
    void segmentKind();
    void returnKey();
    // The finished drawing's frame onto the tool under creation and the
    // placements, and the objects added through an undo record; a drawing
    // without a finite frame, or an array without items, adds nothing and
    // says so.
    void placeDrawing(Element& e);
    // Why the finished drawing cannot give a sound element of the kind under
    // creation, for the status bar; empty when it can. A drawn curve needs
    // two distinct points (a profile's outline three, and an area); tools
    // whose element is no drawn curve are not asked.
    QString drawingRefusal() const;
    // The number of distinct points of the curve the strokes give.
    std::size_t distinctDrawnPoints() const;
    // The flat mesh of the drawn outline of a profile tool, in the drawing's
    // space; null when the outline has fewer than three points or meshes to
    // nothing.
    Mesh* drawnProfileMesh();
    void assemblyKeys();
    void idleAssemblyKeys();
    void drawDigit(int n);
    void sculptKeys();
    void sculptDigits();
    // Pick's second end: a copy of the picked end's partner (scope 1: without
    // its children) linked to the tool under creation, hung under the tools
    // root and kept in activeToolAux. Nothing without a partner.
    void pickPartner(Tool* partner, unsigned char scope);
    // The pick record holds a point on a tube or a revoluton.
    bool pickedSweptElement() const;
    // ---- The button press (glview_press.cpp) ----
    // The drawing press in assembly mode; false when the press ends as a
    // view drag without the left-press actions.
    bool drawingPress(bool leftPressed);
    void firstDrawingPoint(bool single);
    void laterDrawingPoint(bool single);
    void sculptPress();
    void assemblyPress();
    // A picked point on a listed object; otherwise the press becomes a view
    // drag and false is returned.
    bool pressNeedsPoint();
    // The effective mode becomes View; a gesture starts when none runs.
    void viewDragPress();
    // The undo record of a move, turn or scale, or the copy a copying drag
    // moves instead of the picked object.
    void transformPress();
    // ---- The drag (glview_drag.cpp) ----
    void dragDrawing();
    void dragSculpt();
    // One sample per sculpt gesture from the stamp of the same position,
    // each gesture told move, or end with ending. A gesture without a stamp
    // (merged symmetric copies) repeats its own last sample.
    void addSculptSamples(bool ending);
    void dragView();
    void dragAssembly();
    void dragIK();
    // G, the pressed object's pivot frame in the world, and its inverse;
    // false when G is singular.
    bool dragFrame(mat4& G, mat4& Ginv) const;
    // The world frame the stamp's picked tool hangs in: the picked world
    // matrix, or for a two-ended end the parent matrix of its last
    // flattening (its list matrix is turned towards its partner).
    static mat4 hangingFrame(const ABrush& b);
    void dragMove();
    // Rotate, Scale or RotateScale by the pointer's turn and distance
    // about the pivot since the previous frame.
    void dragTurnOrScale(TAssemblyAction action);
    // ---- The release (glview_release.cpp) ----
    void releaseSculpt();
    // The ending of a move, turn or scale drag.
    void releaseTransform();
    // The common ending of every release.
    void endGesture();
    // Deletes the newest record when Undo would apply it next, it is of the
    // Act::TKind `kind` and it changes nothing (a press's record whose
    // gesture ended without a change). The Mirror and Material steps use it,
    // and so can the ending of a transforming drag.
    void dropUnchangedRecord(int kind);
    // ---- Release steps (glview_release_place.cpp) ----
    // A fresh On Object pick at the cursor into targetBrush.
    void pickAgain();
    void releaseInsert();
    void releaseMultiply();
    void releasePlace();
    // Place of a two-ended tool: one end at the press point and its partner
    // at the release point, through one record; both stamps are reset.
    void placeTwoEnded();
    // Where an end placed at the stamp goes: at its point in the receiving
    // frame, z along the stamp's pixel vector, scaled to the brush size.
    mat4 endPlacement(const ABrush& b) const;
    void releasePick();
    // PickComponent, or with patch the patch pick.
    void releasePickPart(bool patch);
    void releaseDetachComponent();
    void releaseRemove();
    void releaseDraw();
    void releaseArrayPickItem();
    // ArrayPick: the picked array's items (each a copy under the tools root,
    // an empty slot staying null) and count words become those of new
    // arrays, and the tool under creation is rebuilt.
    void releaseArrayPick();
    // The curve of the object picked at the release becomes the axis (path,
    // revoluton profile, array path, profile element) or the section of the
    // tool under creation; the axis pick also hangs a copy of that tool
    // under the picked object. Nothing without a tool under creation.
    void releaseDrawPickAxis();
    void releaseDrawPickSection();
    // MakeUniform: the picked tube's path, revoluton's profile or plain
    // curve is wrapped in a uniformly resampled curve (none already of
    // curve type 2). The wrapper takes over the holders' references: no
    // extra reference is taken on the wrapped curve.
    void releaseMakeUniform();
    // ---- Release steps (glview_release_change.cpp) ----
    void releaseMaterial();
    void releaseColorIsLight();
    void releaseOrientation();
    void releaseRotateMultiplicity();
    void releaseMatchMaterial();
    void releaseLink();
    void releaseUnlink();
    // ConstrainRotation and its Counter form (rotation), the translation
    // pair otherwise; counter stores the opposite axis.
    void releaseConstrain(bool rotation, bool counter);
    void releaseRemoveConstraint(bool rotation);
    void releaseMirror();
    void releaseAlign();
    // MatchPivot, or with withObject MatchObjectPivot.
    void releaseMatchPivot(bool withObject);
// clang-format on
