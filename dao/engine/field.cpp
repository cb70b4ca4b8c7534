#include "dao/engine/field.h"

#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/recordset.h"
#include "dao/engine/value_stream.h"

namespace corvid::dao {

std::unique_ptr<Recordset> Field::ChildRecordset() {
  throw EngineError(kOperationNotSupported,
                    "Operation is not supported for this type of object: the field '" + Name() +
                        "' holds no rows of its own.");
}

std::unique_ptr<ValueStream> Field::OpenValueStream() {
  throw EngineError(kOperationNotSupported,
                    "Operation is not supported for this type of object: the field '" + Name() +
                        "' cannot be read as a stream.");
}

}  // namespace corvid::dao
